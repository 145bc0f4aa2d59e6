#include "Grabbers.h"

#include "CaptureCommands.h"
#include "ConverterOutput.h"
#include "Platform.h"
#include "ToolProcess.h"
#include "Trace.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// A capture that printed no progress for this long before the stop had stopped taking frames.
constexpr qint64 StallMsecs = 3000;
// How long each step of a stop waits: "q", then terminate, then kill.
constexpr auto StopGrace = 3s;

// The converter prints this once its input and output are open and it reads "q" from then on.
constexpr char ReadyLine[] = "Press [q] to stop";

QString inputOf(const QStringList &arguments)
{
    return arguments.value(arguments.indexOf(QStringLiteral("-i")) + 1);
}

bool hasContent(const QString &file)
{
    return QFileInfo(file).size() > 0;
}

QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> result;
    for (const QByteArray &line : QByteArray(text).replace('\r', '\n').split('\n')) {
        if (!line.trimmed().isEmpty()) {
            result.append(line.trimmed());
        }
    }
    return result;
}

} // namespace

Grabbers::Grabbers(const QString &appDir, const QString &tempDir, QObject *parent)
    : Grabbers(appDir, captureFiles(tempDir, QDateTime::currentDateTime(), Platform::currentOs()), parent)
{ }

Grabbers::Grabbers(const QString &appDir, const CaptureFiles &files, QObject *parent)
    : QObject(parent)
    , paths(files)
    , merge(new ToolProcess(this))
{
    video.logName = "printVideoOutput";
    video.userName = "screen";
    video.file = paths.videoFile;
    audio.logName = "printAudioOutput";
    audio.userName = "sound";
    audio.file = paths.audioFile;
    for (Capture *each : { &video, &audio }) {
        each->tool = new ToolProcess(this);
        connect(each->tool, &ToolProcess::outputReady, this, [this, each] { readOutput(*each); });
        connect(each->tool, &ToolProcess::ended, this,
                [this, each](ToolProcess::End how, int exitCode) { captureEnded(*each, int(how), exitCode); });
    }
    connect(merge, &ToolProcess::outputReady, this, [this] {
        trace() << "printAudioVideoOutput"
                << ":" << QString::fromLocal8Bit(merge->readOutput());
    });
    connect(merge, &ToolProcess::ended, this, [this](ToolProcess::End how, int exitCode) {
        if (probing) {
            probing = false;
            partSpan = CaptureCommands::inputSpan(merge->errorTail());
            mergeNextPart();
            return;
        }
        const bool ok = how == ToolProcess::End::Exited && exitCode == 0 && hasContent(mergeTarget)
            && !ConverterOutput::writeFailed(merge->errorTail());
        if (!ok) {
            detail = merge->errorLine();
            traceError() << "mergeAudioVideo"
                         << ":" << detail;
        }
        if (ok && mergingPart > 0 && mergingPart < parts) {
            ++mergingPart;
            mergeNextPart();
            return;
        }
        if (ok && mergingPart == parts) {
            joinParts();
            return;
        }
        mergingPart = 0;
        emit merged(ok);
    });

    const bool olderThanNt52 = Platform::isOlderThanNt52();
    converter = CaptureCommands::progName(appDir, Platform::currentOs(), olderThanNt52);
    if (olderThanNt52) {
        trace() << "using x32";
    }
    trace() << "progName" << converter;
}

Grabbers::~Grabbers() = default;

QString Grabbers::progName() const
{
    return converter;
}

CaptureFiles Grabbers::files() const
{
    return paths;
}

QStringList Grabbers::allFiles() const
{
    QStringList all;
    for (int part = 1; part <= parts; ++part) {
        const CaptureFiles files = capturePart(paths, part);
        all << files.videoFile << files.audioFile;
        if (parts > 1) {
            all << files.resultFile;
        }
    }
    all << paths.resultFile;
    if (parts > 1) {
        all << paths.resultFile + QStringLiteral(".txt");
    }
    return all;
}

int Grabbers::partCount() const
{
    return parts;
}

void Grabbers::setChoices(const RecorderChoices &chosen)
{
    choices = chosen;
}

void Grabbers::start(const QRect &area)
{
    grabVideo(area);
    grabAudio();
}

void Grabbers::grabVideo(const QRect &area)
{
    region = area;
    video.file = capturePart(paths, parts).videoFile;
    QFile::remove(video.file);
    const QString crop = CaptureCommands::cropFilter(region.width(), region.height(), region.x(), region.y());
    const QStringList arguments = CaptureCommands::videoArguments(
        Platform::currentOs(), qEnvironmentVariable("DISPLAY"), crop, video.file, choices);
    trace() << "grabVideo"
            << ":"
            << "arguments"
            << ":" << arguments;
    launch(video, arguments);
}

void Grabbers::grabAudio()
{
    audio.file = capturePart(paths, parts).audioFile;
    QFile::remove(audio.file);
    const QStringList arguments = CaptureCommands::audioArguments(Platform::currentOs(), audio.file, choices.sound);
    trace() << "grabAudio"
            << ":"
            << "externalApp"
            << ":" << converter;
    trace() << "grabAudio"
            << ":"
            << "arguments"
            << ":" << arguments;
    launch(audio, arguments);
}

void Grabbers::stop()
{
    if (stopping) {
        return;
    }
    stopping = true;
    pausing = false;
    endCaptures();
}

void Grabbers::endCaptures()
{
    askToStop(video);
    askToStop(audio);
    if (!video.running && !audio.running) {
        QMetaObject::invokeMethod(this, &Grabbers::settle, Qt::QueuedConnection);
    }
}

void Grabbers::pause()
{
    if (stopping || pausing || pausedNow) {
        return;
    }
    pausing = true;
    endCaptures();
}

void Grabbers::resume()
{
    if (!pausedNow || stopping) {
        return;
    }
    pausedNow = false;
    ++parts;
    grabVideo(region);
    grabAudio();
}

bool Grabbers::isPaused() const
{
    return pausedNow;
}

bool Grabbers::isRunning(int kind) const
{
    const Capture *running = capture(kind);
    return running != nullptr && running->running;
}

bool Grabbers::isRecording(int kind) const
{
    const Capture *running = capture(kind);
    return running != nullptr && running->running && running->ready;
}

void Grabbers::mergeAudioVideo()
{
    QFile::remove(paths.resultFile);
    if (parts > 1) {
        mergingPart = 1;
        mergeNextPart();
        return;
    }
    const QString videoFile = hasContent(paths.videoFile) ? paths.videoFile : QString();
    const QString audioFile = hasContent(paths.audioFile) ? paths.audioFile : QString();
    if (videoFile.isEmpty() && audioFile.isEmpty()) {
        failMerge(QStringLiteral("Nothing was recorded."));
        return;
    }
    runMerge(CaptureCommands::mergeArguments(videoFile, audioFile, paths.resultFile));
}

void Grabbers::runMerge(const QStringList &arguments)
{
    trace() << "mergeAudioVideo"
            << ":"
            << "arguments"
            << ":" << arguments;
    mergeTarget = arguments.constLast();
    ToolProcess::Options options;
    options.output = ToolProcess::Output::Merged;
    merge->start(converter, arguments, options);
}

void Grabbers::failMerge(const QString &why)
{
    detail = why;
    mergingPart = 0;
    QMetaObject::invokeMethod(
        this, [this] { emit merged(false); }, Qt::QueuedConnection);
}

void Grabbers::mergeNextPart()
{
    const CaptureFiles part = capturePart(paths, mergingPart);
    QFile::remove(part.resultFile);
    const QString videoFile = hasContent(part.videoFile) ? part.videoFile : QString();
    const QString audioFile = hasContent(part.audioFile) ? part.audioFile : QString();
    if (videoFile.isEmpty() && audioFile.isEmpty()) {
        failMerge(QStringLiteral("Part %1 of the recording holds nothing.").arg(mergingPart));
        return;
    }
    if (!videoFile.isEmpty() && !audioFile.isEmpty() && !partSpan) {
        probing = true;
        runMerge({ QStringLiteral("-hide_banner"), QStringLiteral("-i"), videoFile, QStringLiteral("-t"),
                   QStringLiteral("0"), QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-") });
        return;
    }
    const QStringList arguments = CaptureCommands::partMergeArguments(videoFile, audioFile, part.resultFile,
                                                                      partSpan.value_or(CaptureCommands::Span {}));
    partSpan.reset();
    runMerge(arguments);
}

void Grabbers::joinParts()
{
    // The join is the last step: mergingPart past the parts tells the end handler so.
    mergingPart = parts + 1;
    QStringList results;
    for (int part = 1; part <= parts; ++part) {
        results << capturePart(paths, part).resultFile;
    }
    const QString listFile = paths.resultFile + QStringLiteral(".txt");
    QFile list(listFile);
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate) || list.write(CaptureCommands::joinList(results)) < 0
        || !list.flush()) {
        failMerge(list.errorString());
        return;
    }
    list.close();
    runMerge(CaptureCommands::joinArguments(listFile, paths.resultFile));
}

QString Grabbers::failureDetail() const
{
    return detail;
}

QStringList Grabbers::stopProblems() const
{
    return problems;
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
    case Failure::SoundServerLost:
        return Platform::currentOs() == Platform::Os::Windows
            ? QStringLiteral("The audio-capture filter stopped, so the sound stopped. The picture goes on; the "
                             "sound recorded until then is kept.")
            : QStringLiteral("The sound server (PulseAudio) went away, so the sound stopped. The picture goes on; "
                             "the sound recorded until then is kept.");
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

void Grabbers::launch(Capture &target, const QStringList &arguments)
{
    target.input = inputOf(arguments);
    target.running = true;
    target.ready = false;
    target.startFailed = false;
    target.lastOutput.start();
    ToolProcess::Options options;
    options.output = ToolProcess::Output::Merged;
    options.politeStop = "q";
    options.stopGrace = StopGrace;
    target.tool->start(converter, arguments, options);
}

void Grabbers::readOutput(Capture &source)
{
    const QByteArray chunk = source.tool->readOutput();
    if (chunk.isEmpty()) {
        return;
    }
    trace() << source.logName << ":" << QString::fromLocal8Bit(chunk);
    source.lastOutput.restart();
    if (!source.ready && source.tool->errorTail().contains(ReadyLine)) {
        source.ready = true;
    }
}

void Grabbers::askToStop(Capture &target)
{
    if (!target.running || target.tool->stopRequested()) {
        return;
    }
    if (target.ready && target.lastOutput.elapsed() > StallMsecs) {
        problems << QStringLiteral("The %1 capture stopped taking anything %2 s before the end of the recording.")
                        .arg(QLatin1String(target.userName))
                        .arg(target.lastOutput.elapsed() / 1000);
    }
    trace() << "stopGrabber"
            << ":" << target.userName;
    target.tool->stop();
}

void Grabbers::captureEnded(Capture &ended, int how, int exitCode)
{
    readOutput(ended);
    ended.running = false;
    const auto end = ToolProcess::End(how);
    ended.startFailed = end == ToolProcess::End::FailedToStart;
    if (!ended.tool->stopRequested()) {
        traceError() << "captureFailed"
                     << ":" << ended.userName << ended.tool->errorLine();
        // The picture goes on without the sound: what the sound capture wrote stays in its file. A full disk
        // would stop the picture next; both end now.
        if (&ended == &audio && (ended.ready || parts > 1) && video.running && !stopping && !pausing
            && !ended.tool->errorTail().contains("No space left on device")) {
            emit soundLost(message(Failure::SoundServerLost));
            settle();
            return;
        }
        if (lost == nullptr && !stopping) {
            lost = &ended;
            stopping = true;
            // The other capture is kept: it finishes its file as on a normal stop.
            askToStop(&ended == &video ? audio : video);
        }
    } else if (end != ToolProcess::End::Exited || exitCode != 0) {
        problems << QStringLiteral("The %1 capture did not stop when asked and had to be ended; its last "
                                   "moments may be missing.")
                        .arg(QLatin1String(ended.userName));
    }
    settle();
}

void Grabbers::settle()
{
    if (video.running || audio.running) {
        return;
    }
    if (lost == nullptr) {
        if (pausing) {
            pausing = false;
            pausedNow = true;
            emit paused();
            return;
        }
        emit stopped();
        return;
    }
    const Capture &first = *lost;
    lost = nullptr;
    detail = causeOf(first);
    if (!first.ready) {
        Failure failure = failureOf(first);
        // Without a display the sound server is often found missing first; the display is named first.
        if (&first == &audio && !video.ready && failureOf(video) == Failure::NoDisplay) {
            failure = Failure::NoDisplay;
            detail = causeOf(video);
        }
        emit failed(failure, message(failure));
        return;
    }
    const bool kept = hasContent(video.file) || hasContent(audio.file);
    const Failure failure = &first == &video ? Failure::VideoCaptureFailed : Failure::AudioCaptureFailed;
    if (!kept) {
        emit failed(failure, message(failure) + QLatin1Char('\n') + detail);
        return;
    }
    emit interrupted(
        failure,
        QStringLiteral("The %1 capture ended during the recording: %2").arg(QLatin1String(first.userName), detail));
}

Grabbers::Failure Grabbers::failureOf(const Capture &failed) const
{
    const bool isVideo = &failed == &video;
    if (failed.startFailed) {
        return Failure::ConverterMissing;
    }
    // The converter names its input when it cannot open it: the display or the sound server is out of reach.
    if (failed.input.isEmpty()
        || failed.tool->errorTail().contains((failed.input + QStringLiteral(": ")).toLocal8Bit())) {
        return isVideo ? Failure::NoDisplay : Failure::NoSoundServer;
    }
    return isVideo ? Failure::VideoCaptureFailed : Failure::AudioCaptureFailed;
}

QString Grabbers::causeOf(const Capture &failed) const
{
    const QList<QByteArray> lines = linesOf(failed.tool->errorTail());
    // The converter names its input when the input gives up, often after a progress report on the same line.
    if (!failed.input.isEmpty() && !failed.startFailed) {
        const QByteArray named = (failed.input + QStringLiteral(": ")).toLocal8Bit();
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            if (const qsizetype at = line->indexOf(named); at >= 0) {
                return QString::fromLocal8Bit(line->mid(at));
            }
        }
    }
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if ((line->contains("rror") || line->contains("No space")) && !line->startsWith("Conversion failed")) {
            return QString::fromLocal8Bit(*line);
        }
    }
    return failed.tool->errorLine();
}
