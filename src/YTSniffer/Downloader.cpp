#include "Downloader.h"

#include "ConverterArguments.h"
#include "ExternalTools.h"
#include "FormatListing.h"
#include "Platform.h"
#include "ProgressChunk.h"
#include "TitleCleaning.h"
#include "ToolOutput.h"
#include "Trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace {

const QString noCertificateCheck = QStringLiteral("--no-check-certificate");

// How long stop() waits for a killed tool to let go of its files.
constexpr int killWaitMs = 3000;

} // namespace

Downloader::Downloader(QObject *parent)
    : Downloader(QCoreApplication::applicationDirPath(), parent)
{ }

Downloader::Downloader(const QString &folder, QObject *parent)
    : QObject(parent)
    , toolFolder(folder)
    , toolPath(ExternalTools::path(Platform::Tool::SiteDownloader, folder, Platform::currentOs(),
                                   Platform::isOlderThanNt52()))
{
    if (!QFileInfo(toolPath).isFile()) {
        traceError() << "Downloader"
                     << "tool missing" << toolPath;
        QMetaObject::invokeMethod(
            this, [this] { emit hasError(ToolMissing); }, Qt::QueuedConnection);
    }
}

Downloader::~Downloader() = default;

bool Downloader::setUrl(const QUrl *url)
{
    if (url == nullptr || url->isEmpty() || !url->isValid()) {
        return false;
    }
    address = url->toString();
    return true;
}

QString Downloader::url() const
{
    return address;
}

VideoInfo &Downloader::videoInfo()
{
    return info;
}

const VideoInfo &Downloader::videoInfo() const
{
    return info;
}

void Downloader::setStallTimeout(std::chrono::milliseconds timeout)
{
    stallTimeout = timeout;
}

QString Downloader::updateText() const
{
    return updateResult;
}

void Downloader::requestOptions()
{
    trace() << "requestOptions"
            << ":" << address;
    // Replies of an earlier URL must not count towards this one's options page.
    info.received.clear();
    info.title.clear();
    info.duration.clear();
    info.formats.clear();
    requestTitle();
    requestFormats();
}

void Downloader::requestTitle()
{
    trace() << "requestTitle"
            << "Get default title + duration";
    titleOutput.clear();
    launch(titleProcess, toolPath,
           { noCertificateCheck, QStringLiteral("--get-title"), QStringLiteral("--get-duration"), address },
           &Downloader::readTitle, &Downloader::gotTitle, Watch::Silence);
}

void Downloader::readTitle()
{
    titleOutput += titleProcess->readAllStandardOutput();
}

void Downloader::gotTitle(int exitCode)
{
    retire(titleProcess);
    if (exitCode != 0) {
        traceError() << "gotTitle"
                     << "exitCode" << exitCode;
        retire(formatsProcess);
        emit hasError(TitleFailed);
        return;
    }
    const QStringList lines = toolLines(titleOutput);
    info.title = cleanTitle(lines.value(0, QStringLiteral("default")));
    info.duration = lines.value(1, QStringLiteral("0:00"));
    trace() << "gotTitle"
            << ": OK" << info.title << info.duration;
    noteReceived(RequestTitle);
    emit haveTitle();
}

void Downloader::requestFormats()
{
    trace() << "requestFormats"
            << "Detect available formats";
    formatsOutput.clear();
    launch(formatsProcess, toolPath, { noCertificateCheck, QStringLiteral("--list-formats"), address },
           &Downloader::readFormats, &Downloader::gotFormats, Watch::Silence);
}

void Downloader::readFormats()
{
    formatsOutput += formatsProcess->readAllStandardOutput();
}

void Downloader::gotFormats(int exitCode)
{
    retire(formatsProcess);
    if (exitCode != 0) {
        traceError() << "gotFormats"
                     << "exitCode" << exitCode;
        retire(titleProcess);
        emit hasError(FormatsFailed);
        return;
    }
    info.formats = parseFormatListing(toolLines(formatsOutput));
    trace() << "gotFormats"
            << ": OK" << info.formats.size();
    noteReceived(RequestFormats);
    emit haveFormats();
}

void Downloader::requestFile(int format, const QString &file)
{
    partialFile = file + QLatin1String(".part");
    QStringList arguments { noCertificateCheck, address, QStringLiteral("-o"), file };
    if (format > 0) {
        arguments << QStringLiteral("--format") << QString::number(format);
    }
    trace() << "requestFile"
            << "Download file";
    currentOperation = RequestFile;
    launch(fileProcess, toolPath, arguments, &Downloader::readFile, &Downloader::gotFile, Watch::Silence);
}

void Downloader::readFile()
{
    // Chunks that pile up while the event loop is busy carry several lines: report each in turn.
    const QList<float> percents = progressPercents(toolText(fileProcess->readAllStandardOutput()));
    for (const float value : percents) {
        emit percent(value);
    }
}

void Downloader::gotFile(int exitCode)
{
    retire(fileProcess);
    if (exitCode != 0) {
        traceError() << "gotFile"
                     << "exitCode" << exitCode;
        currentOperation = RequestNone;
        QFile::remove(partialFile);
        emit hasError(FileFailed);
        return;
    }
    noteReceived(RequestFile);
    currentOperation = RequestNone;
    trace() << "gotFile"
            << ": OK";
    emit haveFile();
}

void Downloader::formatConverting(const QString &from, const QString &to, Downloader::FormatConvertingFrom mode,
                                  UserFileSave::Replace replace)
{
    conversionReplace = replace;
    trace() << "formatConverting"
            << ": OK" << from << to << mode;
    if (QFileInfo(from).suffix() == QFileInfo(to).suffix()) {
        if (QFileInfo(from).absoluteFilePath() != QFileInfo(to).absoluteFilePath()) {
            // The user chose this name in the save dialog, so an existing file there is replaced.
            if (QFileInfo::exists(to)) {
                QFile::remove(to);
            }
            if (!QFile::rename(from, to)) {
                traceError() << "formatConverting"
                             << "cannot move" << from << to;
                emit hasError(ConversionFailed);
                return;
            }
        }
        emit doneExtractAudio();
        return;
    }

    conversionMode = mode;
    converterArguments = ::converterArguments(from, to);
    const QString converter = converterPath();
    trace() << "formatConverting"
            << "binFFmpeg" << converter << "params" << converterArguments;
    currentOperation = RequestConversion;
    launch(conversionProcess, converter, converterArguments, &Downloader::readFormatConverting,
           &Downloader::doneFormatConverting, Watch::None);
}

void Downloader::readFormatConverting()
{
    trace() << "readFormatConverting" << toolText(conversionProcess->readAllStandardOutput());
}

void Downloader::doneFormatConverting(int exitCode)
{
    trace() << "doneFormatConverting"
            << ": OK"
            << "exitCode" << exitCode;
    retire(conversionProcess);
    currentOperation = RequestNone;
    if (exitCode != 0) {
        traceError() << "doneFormatConverting"
                     << "exitCode" << exitCode;
        emit hasError(ConversionFailed);
        return;
    }
    if (conversionMode == FromAudioDownload) {
        if (!QFileInfo::exists(converterArguments.constLast())) {
            traceError() << "doneFormatConverting"
                         << "no audio file";
            emit hasError(ConversionNoOutput);
            return;
        }
        trace() << "doneFormatConverting"
                << "file exists";
        if (!QFile::remove(converterArguments.at(1))) {
            traceError() << "doneFormatConverting"
                         << "cannot remove"
                         << "file" << converterArguments.at(1);
            emit hasError(ConversionCannotRemoveSource);
            return;
        }
    }
    noteReceived(RequestConversion);
    trace() << "doneFormatConverting"
            << ": OK";
    emit doneExtractAudio();
}

void Downloader::checkUpdates()
{
    trace() << "checkUpdates"
            << "Check for updates";
    updateOutput.clear();
    launch(updateProcess, toolPath, { QStringLiteral("--update") }, &Downloader::readUpdate, &Downloader::gotUpdate,
           Watch::Silence);
}

void Downloader::readUpdate()
{
    updateOutput += updateProcess->readAllStandardOutput();
}

void Downloader::gotUpdate(int exitCode)
{
    retire(updateProcess);
    if (exitCode != 0) {
        traceError() << "gotUpdate"
                     << "exitCode" << exitCode;
        emit hasError(UpdateFailed);
        return;
    }
    updateResult = toolText(updateOutput);
    trace() << "gotUpdate" << updateResult;
    emit snifferUpdated();
}

void Downloader::testIt(const QString &url, const QString &expectedTitle)
{
    trace() << "testIt"
            << "Test default URL (get predefined title)";
    testExpectedTitle = expectedTitle;
    testOutput.clear();
    launch(testProcess, toolPath, { noCertificateCheck, QStringLiteral("--get-title"), url }, &Downloader::testRead,
           &Downloader::testResult, Watch::Silence);
}

void Downloader::testRead()
{
    testOutput += testProcess->readAllStandardOutput();
}

void Downloader::testResult(int exitCode)
{
    retire(testProcess);
    if (exitCode != 0) {
        traceError() << "testResult"
                     << "exitCode" << exitCode;
        emit hasError(TestRunFailed);
        return;
    }
    const QString title = toolLines(testOutput).value(0);
    if (title != testExpectedTitle) {
        traceError() << "testResult"
                     << "title" << title << "expected" << testExpectedTitle;
        emit hasError(TestTitleMismatch);
        return;
    }
    trace() << "testResult"
            << ": OK";
    emit testOK();
}

void Downloader::stop()
{
    trace() << "stop"
            << ": OK";
    if (currentOperation != RequestConversion && currentOperation != RequestFile) {
        return;
    }
    QProcess *&handle = currentOperation == RequestConversion ? conversionProcess : fileProcess;
    if (handle != nullptr) {
        QProcess *process = handle;
        retire(handle);
        // On Windows a file stays locked until its writer has gone.
        process->waitForFinished(killWaitMs);
    }
    if (currentOperation == RequestConversion) {
        QFile::remove(converterArguments.constLast());
        // A recording is the user's only copy: only a download is removed with its conversion.
        if (conversionMode != FromRecorder) {
            QFile::remove(converterArguments.at(1));
        }
    } else {
        QFile::remove(partialFile);
    }
    currentOperation = RequestNone;
}

void Downloader::launch(QProcess *&handle, const QString &program, const QStringList &arguments, Reader reader,
                        Finisher finisher, Watch watch)
{
    retire(handle);
    auto *process = new QProcess(this);
    handle = process;
    // Nobody reads standard error; the converter writes its progress there without pause.
    process->setStandardErrorFile(QProcess::nullDevice());

    // A tool that stays silent too long is taken for hung and ends as a failed run of its request.
    QTimer *silence = nullptr;
    if (watch == Watch::Silence) {
        silence = new QTimer(process);
        silence->setSingleShot(true);
        silence->setInterval(stallTimeout);
        connect(silence, &QTimer::timeout, this, [this, process, &handle, finisher] {
            if (handle == process) {
                traceError() << "launch"
                             << "no answer from" << process->program();
                retire(handle);
                (this->*finisher)(-1);
            }
        });
        silence->start();
    }

    connect(process, &QProcess::readyReadStandardOutput, this, [this, process, &handle, reader, silence] {
        if (handle == process) {
            if (silence != nullptr) {
                silence->start();
            }
            (this->*reader)();
        }
    });
    connect(process, &QProcess::finished, this,
            [this, process, &handle, reader, finisher](int exitCode, QProcess::ExitStatus status) {
                if (handle != process) {
                    return;
                }
                if (status == QProcess::CrashExit) {
                    toolBroke(handle);
                    return;
                }
                if (process->bytesAvailable() > 0) {
                    (this->*reader)();
                }
                (this->*finisher)(exitCode);
            });
    connect(process, &QProcess::errorOccurred, this, [this, process, &handle](QProcess::ProcessError error) {
        if (handle == process && error == QProcess::FailedToStart) {
            toolBroke(handle);
        }
    });
    trace() << "launch"
            << "Start with arguments" << program << arguments;
    process->setProgram(program);
    process->setArguments(arguments);
    process->start(QIODevice::ReadWrite);
}

void Downloader::retire(QProcess *&handle)
{
    if (handle == nullptr) {
        return;
    }
    QProcess *process = handle;
    handle = nullptr;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
    }
    process->deleteLater();
}

void Downloader::toolBroke(QProcess *&handle)
{
    traceError() << "toolBroke" << handle->program() << handle->errorString();
    const bool ownsOperation = (&handle == &fileProcess && currentOperation == RequestFile)
        || (&handle == &conversionProcess && currentOperation == RequestConversion);
    const bool options = &handle == &titleProcess || &handle == &formatsProcess;
    retire(handle);
    // One report for the pair: the options page cannot be shown without either reply.
    if (options) {
        retire(titleProcess);
        retire(formatsProcess);
    }
    if (ownsOperation) {
        if (currentOperation == RequestFile) {
            QFile::remove(partialFile);
        }
        currentOperation = RequestNone;
    }
    emit hasError(ToolNotStarted);
}

void Downloader::noteReceived(RequestKind kind)
{
    info.received.append(kind);
    if ((kind == RequestTitle || kind == RequestFormats) && info.hasTitleAndFormats()) {
        emit haveOptions();
    }
}

QString Downloader::converterPath() const
{
    const bool olderThanNt52 = Platform::isOlderThanNt52();
    if (olderThanNt52) {
        trace() << "converterPath"
                << "using x32";
    }
    return ExternalTools::path(Platform::Tool::Converter, toolFolder, Platform::currentOs(), olderThanNt52);
}
