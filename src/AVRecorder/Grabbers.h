#pragma once

#include "CaptureFiles.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

class ToolProcess;

// The converter processes of one recording: the screen capture and the sound capture running side by
// side, then the merge of their files. Nothing here waits: stopping and merging report through signals,
// so the windows keep painting however long the converter takes.
class Grabbers final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Grabbers)

public:
    enum Kind : int { Video = 1, Audio = 2 };

    // Why a capture could not run. The screen or the sound server being out of reach is told apart from
    // other failures so that the user learns which one is missing.
    enum class Failure { None, ConverterMissing, NoDisplay, NoSoundServer, VideoCaptureFailed, AudioCaptureFailed };
    Q_ENUM(Failure)

    // The file names are fixed here, from tempDir and the current second.
    Grabbers(const QString &appDir, const QString &tempDir, QObject *parent = nullptr);
    // For captures already on disk that still wait for their merge.
    Grabbers(const QString &appDir, const CaptureFiles &files, QObject *parent = nullptr);
    ~Grabbers() override;

    QString progName() const;
    CaptureFiles files() const;

    // Starts both captures of the region (screen pixels).
    void start(const QRect &region);

    // The two halves of start(): each replaces a capture of its kind still running and the file it wrote.
    void grabVideo(const QRect &region);
    void grabAudio();

    // Asks both captures to finish (the converter's "q", then harder); stopped() follows once both have
    // ended, at once when none runs. The files stay.
    void stop();
    bool isRunning(int kind) const;
    // The capture has opened its input and its file and takes frames from now on.
    bool isRecording(int kind) const;

    // Joins what the captures wrote into the result file, with no time limit; merged() follows. A recording
    // with only one capture left is "joined" from that one alone.
    void mergeAudioVideo();

    // What the converter said last about a failure, in its own words.
    QString failureDetail() const;
    // What went wrong at the end of captures that were stopped, for the user; empty when both ended well.
    QStringList stopProblems() const;

    static QString message(Failure failure);

signals:
    // A capture could not get going, or ended before anything worth keeping was recorded. Nothing runs
    // any more.
    void failed(Grabbers::Failure failure, const QString &message);
    // A capture ended on its own while recording. The other one has been stopped cleanly and both files
    // are kept; message says which capture ended and why.
    void interrupted(Grabbers::Failure failure, const QString &message);
    void stopped();
    void merged(bool ok);

private:
    struct Capture
    {
        ToolProcess *tool = nullptr;
        const char *logName = "";
        const char *userName = "";
        QString input;
        QString file;
        QElapsedTimer lastOutput;
        bool running = false;
        bool ready = false;
        bool startFailed = false;
    };

    Capture *capture(int kind);
    const Capture *capture(int kind) const;
    void launch(Capture &capture, const QStringList &arguments);
    void readOutput(Capture &capture);
    void captureEnded(Capture &capture, int how, int exitCode);
    void askToStop(Capture &capture);
    void settle();
    Failure failureOf(const Capture &capture) const;
    QString causeOf(const Capture &capture) const;

    QString converter;
    CaptureFiles paths;
    Capture video;
    Capture audio;
    ToolProcess *merge;
    // The capture that ended on its own first, if any.
    Capture *lost = nullptr;
    bool stopping = false;
    QString detail;
    QStringList problems;
};
