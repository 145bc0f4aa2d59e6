#pragma once

#include "CaptureCommands.h"
#include "CaptureFiles.h"
#include "RecorderChoices.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

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
    enum class Failure {
        None,
        ConverterMissing,
        NoDisplay,
        NoSoundServer,
        VideoCaptureFailed,
        AudioCaptureFailed,
        SoundServerLost
    };
    Q_ENUM(Failure)

    // The file names are fixed here, from tempDir and the current second.
    Grabbers(const QString &appDir, const QString &tempDir, QObject *parent = nullptr);
    // For captures already on disk that still wait for their merge.
    Grabbers(const QString &appDir, const CaptureFiles &files, QObject *parent = nullptr);
    ~Grabbers() override;

    QString progName() const;
    // The first part's captures and the recording's result.
    CaptureFiles files() const;
    // Every file the recording wrote or will write in the temporary folder, all parts included.
    QStringList allFiles() const;
    int partCount() const;

    // Applies to the captures started from now on.
    void setChoices(const RecorderChoices &choices);

    // Starts both captures of the region (screen pixels).
    void start(const QRect &area);

    // The two halves of start(): each replaces a capture of its kind still running and the file it wrote.
    void grabVideo(const QRect &area);
    void grabAudio();

    // Asks both captures to finish (the converter's "q", then harder); stopped() follows once both have
    // ended, at once when none runs. The files stay.
    void stop();
    // Ends the captures of this part as stop() does, with paused() once both have ended; resume() starts the next
    // part on new files with the same region. The paused time is no part of the result.
    void pause();
    void resume();
    bool isPaused() const;
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
    void paused();
    // The sound capture ended on its own while the picture goes on; what it recorded is kept.
    void soundLost(const QString &message);
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
    // Asks both captures to finish; settle() follows once both have ended.
    void endCaptures();
    void settle();
    Failure failureOf(const Capture &capture) const;
    void startPart();
    void mergeNextPart();
    void joinParts();
    // Runs the converter for one step of the merge; its end is handled in one place.
    void runMerge(const QStringList &arguments);
    void failMerge(const QString &why);
    QString causeOf(const Capture &capture) const;

    QString converter;
    CaptureFiles paths;
    RecorderChoices choices;
    QRect region;
    int parts = 1;
    // While the parts of a paused recording are merged one by one: the part being merged, from 1.
    int mergingPart = 0;
    bool pausing = false;
    // Before a part is merged the converter states where its picture lies.
    bool probing = false;
    std::optional<CaptureCommands::Span> partSpan;
    bool pausedNow = false;
    Capture video;
    Capture audio;
    ToolProcess *merge;
    QString mergeTarget;
    // The capture that ended on its own first, if any.
    Capture *lost = nullptr;
    bool stopping = false;
    QString detail;
    QStringList problems;
};
