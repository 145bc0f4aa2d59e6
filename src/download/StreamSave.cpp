#include "StreamSave.h"

#include "ConverterOutput.h"
#include "DownloadTexts.h"
#include "ExternalTools.h"
#include "ToolProcess.h"
#include "Trace.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr std::chrono::milliseconds DefaultSilenceLimit { 60000 };

// What the HLS and DASH readers print, as warnings only, when they skip a segment they could not fetch.
const QList<QByteArray> SkippedPart { "Failed to open segment", "Failed to open fragment",
                                      "Failed to open an initialization section" };

QString plainLine(const QString &line)
{
    static const QRegularExpression prefix(QStringLiteral("^\\[[^\\]]*@ 0x[0-9a-fA-F]+\\]\\s*"));
    return QString(line).remove(prefix);
}

QString skippedPart(const QByteArray &errorOutput)
{
    for (const QByteArray &line : errorOutput.split('\n')) {
        for (const QByteArray &marker : SkippedPart) {
            if (line.contains(marker)) {
                return plainLine(QString::fromLocal8Bit(line.trimmed()));
            }
        }
    }
    return {};
}

// The DASH reader refuses "-live_start_index"; an HLS address without the suffix merely starts earlier.
bool isHlsAddress(const QString &url)
{
    const QString path = QUrl(url).path().toLower();
    return path.endsWith(QStringLiteral(".m3u8")) || path.endsWith(QStringLiteral(".m3u"));
}

} // namespace

StreamSave::StreamSave(QObject *parent)
    : QObject(parent)
    , tool(new ToolProcess(this))
    , silenceLimit(DefaultSilenceLimit)
{
    connect(tool, &ToolProcess::outputReady, this, &StreamSave::readProgress);
    connect(tool, &ToolProcess::ended, this,
            [this](ToolProcess::End how, int exitCode) { toolEnded(int(how), exitCode); });
}

StreamSave::~StreamSave()
{
    // The converter goes before its work folder does.
    tool->abandon();
}

namespace {

// What the converter is started with to save job into workFile.
QStringList converterArguments(const StreamSave::Job &job, const QString &workFile)
{
    QStringList arguments {
        QStringLiteral("-hide_banner"), QStringLiteral("-nostats"),
        QStringLiteral("-loglevel"),    QStringLiteral("warning"),
        QStringLiteral("-headers"),     QString::fromUtf8(DownloadTexts::playerHeaders(job.requestHeader))
    };
    if (job.live && isHlsAddress(job.url)) {
        arguments << QStringLiteral("-live_start_index") << QStringLiteral("-1");
    }
    arguments << QStringLiteral("-i") << job.url;
    const QStringList maps
        = job.maps.isEmpty() ? QStringList { QStringLiteral("0:v?"), QStringLiteral("0:a?") } : job.maps;
    for (const QString &map : maps) {
        arguments << QStringLiteral("-map") << map;
    }
    return arguments << QStringLiteral("-c") << QStringLiteral("copy") << ConverterProgress::arguments()
                     << QStringLiteral("-y") << workFile;
}

} // namespace

void StreamSave::start(const Job &startJob)
{
    if (started) {
        traceError() << "StreamSave"
                     << "one save per object; ignored" << startJob.url;
        return;
    }
    started = true;
    job = startJob;
    save = std::make_unique<UserFileSave>(job.fileName, job.replace);
    if (aborted) {
        finish(QStringLiteral("The save was cancelled."));
        return;
    }
    // Checked now as well as at the end: a long recording must not be lost to a name that was taken all along.
    if (job.replace == UserFileSave::Replace::Refuse && UserFileSave::exists(job.fileName)) {
        finish(QStringLiteral("%1 already exists and is left as it is.").arg(QDir::toNativeSeparators(job.fileName)));
        return;
    }
    const QString suffix = QFileInfo(job.fileName).suffix();
    workFile = save->workPath(QStringLiteral("stream.") + (suffix.isEmpty() ? QStringLiteral("mkv") : suffix));
    if (workFile.isEmpty()) {
        finish(save->errorString());
        return;
    }
    ToolProcess::Options options;
    options.output = ToolProcess::Output::StandardOutput;
    options.silenceLimit = silenceLimit;
    options.politeStop = "q";
    tool->start(ExternalTools::path(Platform::Tool::Converter), converterArguments(job, workFile), options);
}

void StreamSave::abort()
{
    if (done) {
        return;
    }
    aborted = true;
    if (started) {
        tool->abandon();
        finish(QStringLiteral("The save was cancelled."));
    }
}

void StreamSave::stopAndKeep()
{
    if (!done && tool->isRunning()) {
        trace() << "StreamSave"
                << "stop and keep" << job.fileName;
        tool->stop();
    }
}

bool StreamSave::isAborted() const
{
    return aborted;
}

QString StreamSave::errorText() const
{
    return failure;
}

void StreamSave::setSilenceLimit(std::chrono::milliseconds limit)
{
    silenceLimit = limit;
}

void StreamSave::readProgress()
{
    pendingOutput += tool->readOutput();
    while (figures.read(pendingOutput)) {
        emit progress(figures.secondsDone, figures.bytesWritten, figures.speed);
    }
    checkGaps();
}

void StreamSave::checkGaps()
{
    // A live stream goes on past a segment that expired; a finite one would be saved with a hole.
    if (job.live || done || !tool->isRunning()) {
        return;
    }
    const QString skipped = skippedPart(tool->errorTail());
    if (!skipped.isEmpty()) {
        tool->abandon();
        finish(QStringLiteral("A part of the stream could not be fetched (%1).").arg(skipped));
    }
}

void StreamSave::toolEnded(int how, int exitCode)
{
    if (done) {
        return;
    }
    const QByteArray errors = tool->errorTail();
    const QString said = plainLine(tool->errorLine());
    const QString converter = QDir::toNativeSeparators(tool->program());
    const bool stopped = tool->stopRequested();
    const QString skipped = job.live ? QString() : skippedPart(errors);
    // Stopped, the converter exits 0 after "q" or 255 after the terminate step; both close the file properly.
    const auto end = ToolProcess::End(how);
    const bool exited = end == ToolProcess::End::Exited && (exitCode == 0 || (stopped && exitCode == 255));
    if (end == ToolProcess::End::FailedToStart) {
        finish(QStringLiteral("The converter %1 could not be started: %2").arg(converter, said));
    } else if (end == ToolProcess::End::Silent) {
        finish(
            QStringLiteral("The stream stopped: nothing arrived for %1 s.").arg(double(silenceLimit.count()) / 1000.0));
    } else if (ConverterOutput::writeFailed(errors)) {
        finish(
            QStringLiteral("The file %1 could not be written: %2").arg(QDir::toNativeSeparators(job.fileName), said));
    } else if (!exited) {
        finish(QStringLiteral("The stream could not be saved: %1").arg(said.isEmpty() ? converter : said));
    } else if (!skipped.isEmpty()) {
        finish(QStringLiteral("A part of the stream could not be fetched (%1).").arg(skipped));
    } else if (!stopped && !figures.ended) {
        finish(QStringLiteral("The converter ended before the end of the stream."));
    } else if (figures.secondsDone <= 0 || QFileInfo(workFile).size() <= 0) {
        finish(QStringLiteral("The converter wrote nothing of the stream."));
    } else {
        finish(QString());
    }
}

void StreamSave::finish(const QString &reason)
{
    done = true;
    failure = reason;
    if (failure.isEmpty() && !save->commit(workFile)) {
        failure = save->errorString();
    }
    if (!failure.isEmpty()) {
        traceError() << "StreamSave" << job.url << failure;
    } else {
        trace() << "StreamSave"
                << "saved" << job.fileName << ": OK";
    }
    save->discard();
    QMetaObject::invokeMethod(this, &StreamSave::finished, Qt::QueuedConnection);
}
