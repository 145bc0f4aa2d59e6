#pragma once

#include "CaptureFiles.h"

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QString>

class QProcess;

// The converter processes of one recording: the screen capture and the sound capture running side by
// side, then the merge of their files. Stopping and merging block the calling thread, as the recorder
// window expects; only the pause before the merge keeps the windows painting.
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
    // Stops a running video capture, then a running audio capture.
    ~Grabbers() override;

    QString progName() const;
    CaptureFiles files() const;

    // Starts both captures of the region (screen pixels). A capture that cannot run is reported through
    // failed(), after which nothing is left running.
    void start(const QRect &region);

    // The two halves of start(): each replaces a capture of its kind still running and the file it wrote.
    void grabVideo(const QRect &region);
    void grabAudio();

    // Asks the capture to quit and waits up to 30 s for it; kills it after that. Its file stays. Any
    // kind other than Video or Audio, or a kind not running, does nothing.
    void stopGrabber(int kind);
    bool isRunning(int kind) const;
    // The capture has opened its input and its file and takes frames from now on.
    bool isRecording(int kind) const;

    // Joins the two capture files into the result file after a short pause in which windows still paint
    // handled (the caller shows its busy window meanwhile). True when the converter succeeded and wrote a
    // non-empty result.
    bool mergeAudioVideo();

    // What the converter said last about the failure, for the log and the message.
    QString failureDetail() const;

    static QString message(Failure failure);

signals:
    // A capture ended on its own or could not be started; message says what the user is missing.
    void failed(Grabbers::Failure failure, const QString &message);

private:
    struct Capture
    {
        QProcess *process = nullptr;
        const char *logName = "";
        QString input;
        // The end of the converter's output, kept only to recognise readiness and failures.
        QByteArray tail;
        bool ready = false;
        bool stopping = false;
    };

    Capture *capture(int kind);
    const Capture *capture(int kind) const;
    void launch(Capture &capture, const QStringList &arguments, int kind);
    void captureEnded(int kind);
    void readOutput(Capture &capture);
    Failure failureOf(Capture &capture, int kind);
    void abandon(Capture &capture);

    QString converter;
    CaptureFiles paths;
    Capture video;
    Capture audio;
    QString detail;
};
