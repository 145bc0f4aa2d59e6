#pragma once

#include "ConverterProgress.h"
#include "UserFileSave.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class ToolProcess;

// Copies an HLS or DASH stream into one file with the converter, asking as the player did. The file appears only when
// the stream was finished or stopped with stopAndKeep(); anything else leaves nothing behind. One save per object.
class StreamSave final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StreamSave)

public:
    struct Job
    {
        // The playlist's or manifest's address, http:// or https://.
        QString url;
        // The request header a browser sent for it, from its request line through the blank line.
        QByteArray requestHeader;
        // ffmpeg -map specifiers, e.g. {"0:p:1"} or {"0:v:1", "0:a:0?"}; empty: all the picture and sound.
        QStringList maps;
        // Seconds, for the share done; negative when unknown.
        double duration = -1;
        // No end: saved from the newest segment on until stopAndKeep().
        bool live = false;
        // The file the user chose; its suffix names the container (mp4, mkv, ...).
        QString fileName;
        UserFileSave::Replace replace = UserFileSave::Replace::Refuse;
    };

    explicit StreamSave(QObject *parent = nullptr);
    ~StreamSave() override;

    // finished() follows exactly once, never from inside start().
    void start(const Job &job);
    void abort();
    void stopAndKeep();
    bool isAborted() const;
    // Why the save failed, with the converter's own error line; empty on success.
    QString errorText() const;

    void setSilenceLimit(std::chrono::milliseconds limit);

signals:
    // speed: the converter's "1.5x" as 1.5, 0 when unknown.
    void progress(double secondsDone, qint64 bytesWritten, double speed);
    void finished();

private:
    void readProgress();
    void checkGaps();
    void toolEnded(int how, int exitCode);
    void finish(const QString &failure);

    Job job;
    ToolProcess *tool;
    std::unique_ptr<UserFileSave> save;
    QString workFile;
    QString failure;
    QByteArray pendingOutput;
    ConverterProgress figures;
    std::chrono::milliseconds silenceLimit;
    bool started = false;
    bool done = false;
    bool aborted = false;
};
