#include "Grabbers.h"

#include "CaptureCommands.h"
#include "Platform.h"
#include "Trace.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QTimer>

namespace {

constexpr int StopWaitMsecs = 30000;
constexpr int MergeWaitMsecs = 30000;
constexpr int MergePauseMsecs = 2000;
// How long a failing sound capture waits to learn whether the screen capture fails as well.
constexpr int SettleMsecs = 3000;
constexpr qsizetype TailBytes = 4096;

// The converter prints this once its input and output are open and it reads "q" from then on.
constexpr char ReadyLine[] = "Press [q] to stop";

QString inputOf(const QStringList &arguments)
{
    return arguments.value(arguments.indexOf(QStringLiteral("-i")) + 1);
}

QString lastLine(const QByteArray &output)
{
    const QList<QByteArray> lines = QByteArray(output).replace('\r', '\n').split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QByteArray trimmed = line->trimmed();
        if (!trimmed.isEmpty()) {
            return QString::fromLocal8Bit(trimmed);
        }
    }
    return {};
}

} // namespace

Grabbers::Grabbers(const QString &appDir, const QString &tempDir, QObject *parent)
    : QObject(parent)
{
    video.logName = "printVideoOutput";
    audio.logName = "printAudioOutput";
    const bool olderThanNt52 = Platform::isOlderThanNt52();
    converter = CaptureCommands::progName(appDir, Platform::currentOs(), olderThanNt52);
    if (olderThanNt52) {
        trace() << "using x32";
    }
    trace() << "progName" << converter;
    paths = captureFiles(tempDir, QDateTime::currentDateTime(), Platform::currentOs());
}

Grabbers::~Grabbers()
{
    stopGrabber(Video);
    stopGrabber(Audio);
}

QString Grabbers::progName() const
{
    return converter;
}

CaptureFiles Grabbers::files() const
{
    return paths;
}

void Grabbers::start(const QRect &region)
{
    grabVideo(region);
    grabAudio();
}

void Grabbers::grabVideo(const QRect &region)
{
    stopGrabber(Video);
    QFile::remove(paths.videoFile);
    const QString crop = CaptureCommands::cropFilter(region.width(), region.height(), region.x(), region.y());
    const QStringList arguments = CaptureCommands::videoArguments(
        Platform::currentOs(), qEnvironmentVariable("DISPLAY"), crop, paths.videoFile);
    trace() << "grabVideo"
            << ":"
            << "arguments"
            << ":" << arguments;
    launch(video, arguments, Video);
}

void Grabbers::grabAudio()
{
    stopGrabber(Audio);
    QFile::remove(paths.audioFile);
    const QStringList arguments = CaptureCommands::audioArguments(Platform::currentOs(), paths.audioFile);
    trace() << "grabAudio"
            << ":"
            << "externalApp"
            << ":" << converter;
    trace() << "grabAudio"
            << ":"
            << "arguments"
            << ":" << arguments;
    launch(audio, arguments, Audio);
}

void Grabbers::stopGrabber(int kind)
{
    Capture *stopped = capture(kind);
    if (stopped == nullptr || stopped->process == nullptr) {
        return;
    }
    trace() << "stopGrabber"
            << ":" << kind;
    stopped->stopping = true;
    if (stopped->process->state() != QProcess::NotRunning) {
        stopped->process->write("q");
        if (!stopped->process->waitForFinished(StopWaitMsecs)) {
            traceError() << "stopGrabber"
                         << ":"
                         << "killed" << kind;
        }
    }
    readOutput(*stopped);
    stopped->process->close();
    delete stopped->process;
    stopped->process = nullptr;
}

bool Grabbers::isRunning(int kind) const
{
    const Capture *running = capture(kind);
    return running != nullptr && running->process != nullptr;
}

bool Grabbers::isRecording(int kind) const
{
    const Capture *running = capture(kind);
    return running != nullptr && running->process != nullptr && running->ready;
}

bool Grabbers::mergeAudioVideo()
{
    QFile::remove(paths.resultFile);
    const QStringList arguments = CaptureCommands::mergeArguments(paths.videoFile, paths.audioFile, paths.resultFile);
    trace() << "mergeAudioVideo"
            << ":"
            << "arguments"
            << ":" << arguments;

    // Painting goes on; input waits, so nothing can start or stop a recording in the middle of this.
    QEventLoop pause;
    QTimer::singleShot(MergePauseMsecs, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);

    Capture merge;
    merge.logName = "printAudioVideoOutput";
    launch(merge, arguments, 0);
    const bool finished = merge.process->waitForFinished(MergeWaitMsecs);
    readOutput(merge);
    const bool ok = finished && merge.process->exitStatus() == QProcess::NormalExit && merge.process->exitCode() == 0
        && QFileInfo(paths.resultFile).size() > 0;
    if (!ok) {
        detail = lastLine(merge.tail);
        traceError() << "mergeAudioVideo"
                     << ":" << detail;
    }
    merge.process->close();
    delete merge.process;
    return ok;
}

QString Grabbers::failureDetail() const
{
    return detail;
}

QString Grabbers::message(Failure failure)
{
    switch (failure) {
    case Failure::None:
        break;
    case Failure::ConverterMissing:
        return QStringLiteral("The converter could not be started, so nothing can be recorded.");
    case Failure::NoDisplay:
        return Platform::currentOs() == Platform::Os::Windows
            ? QStringLiteral("The screen-capture filter cannot be reached, so the screen cannot be recorded.")
            : QStringLiteral("No X display can be reached, so the screen cannot be recorded.");
    case Failure::NoSoundServer:
        return Platform::currentOs() == Platform::Os::Windows
            ? QStringLiteral("The audio-capture filter cannot be reached, so the sound cannot be recorded.")
            : QStringLiteral("No sound server (PulseAudio) can be reached, so the sound cannot be recorded.");
    case Failure::VideoCaptureFailed:
        return QStringLiteral("The screen capture failed.");
    case Failure::AudioCaptureFailed:
        return QStringLiteral("The sound capture failed.");
    }
    return {};
}

Grabbers::Capture *Grabbers::capture(int kind)
{
    return kind == Video ? &video : kind == Audio ? &audio : nullptr;
}

const Grabbers::Capture *Grabbers::capture(int kind) const
{
    return kind == Video ? &video : kind == Audio ? &audio : nullptr;
}

void Grabbers::launch(Capture &target, const QStringList &arguments, int kind)
{
    target.process = new QProcess(this);
    target.input = inputOf(arguments);
    target.tail.clear();
    target.ready = false;
    target.stopping = false;
    connect(target.process, &QProcess::readyReadStandardOutput, this, [this, &target] { readOutput(target); });
    if (kind != 0) {
        connect(target.process, &QProcess::finished, this, [this, kind] { captureEnded(kind); });
        connect(target.process, &QProcess::errorOccurred, this, [this, kind](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                captureEnded(kind);
            }
        });
    }
    target.process->setProcessChannelMode(QProcess::MergedChannels);
    target.process->start(converter, arguments, QIODevice::ReadWrite);
}

void Grabbers::captureEnded(int kind)
{
    Capture &ended = *capture(kind);
    if (ended.process == nullptr || ended.stopping) {
        return;
    }
    // Both end here; the flags keep the other capture's end from being reported a second time.
    video.stopping = true;
    audio.stopping = true;
    Failure failure = failureOf(ended, kind);
    // Without a display the sound server is often found missing first; the display is named first.
    if (kind == Audio && video.process != nullptr) {
        const QDeadlineTimer settle(SettleMsecs);
        while (!video.ready && video.process->state() != QProcess::NotRunning && !settle.hasExpired()) {
            video.process->waitForReadyRead(50);
        }
        if (video.process->state() == QProcess::NotRunning) {
            failure = failureOf(video, Video);
        }
    }
    abandon(video);
    abandon(audio);
    emit failed(failure, message(failure));
}

void Grabbers::readOutput(Capture &source)
{
    const QByteArray chunk = source.process->readAllStandardOutput();
    if (chunk.isEmpty()) {
        return;
    }
    trace() << source.logName << ":" << QString::fromLocal8Bit(chunk);
    source.tail = (source.tail + chunk).right(TailBytes);
    if (!source.ready && source.tail.contains(ReadyLine)) {
        source.ready = true;
    }
}

Grabbers::Failure Grabbers::failureOf(Capture &failed, int kind)
{
    readOutput(failed);
    const bool isVideo = kind == Video;
    if (failed.process->error() == QProcess::FailedToStart) {
        detail = failed.process->errorString();
        traceError() << "captureFailed"
                     << ":" << converter << detail;
        return Failure::ConverterMissing;
    }
    detail = lastLine(failed.tail);
    traceError() << "captureFailed"
                 << ":" << kind << detail;
    // The converter names its input when it cannot open it: the display or the sound server is out of reach.
    if (failed.input.isEmpty() || failed.tail.contains((failed.input + QStringLiteral(": ")).toLocal8Bit())) {
        return isVideo ? Failure::NoDisplay : Failure::NoSoundServer;
    }
    return isVideo ? Failure::VideoCaptureFailed : Failure::AudioCaptureFailed;
}

void Grabbers::abandon(Capture &abandoned)
{
    if (abandoned.process == nullptr) {
        return;
    }
    abandoned.process->disconnect(this);
    abandoned.process->kill();
    abandoned.process->waitForFinished();
    // This may run inside one of the process's own signals.
    abandoned.process->deleteLater();
    abandoned.process = nullptr;
    abandoned.ready = false;
}
