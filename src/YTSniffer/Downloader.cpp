#include "Downloader.h"

#include "ConverterArguments.h"
#include "ConverterOutput.h"
#include "ConverterProgress.h"
#include "ExternalTools.h"
#include "FormatListing.h"
#include "LivePlaylistCheck.h"
#include "PageLinks.h"
#include "Platform.h"
#include "ProgressChunk.h"
#include "SaveName.h"
#include "SaveProblem.h"
#include "TitleCleaning.h"
#include "ToolFailure.h"
#include "ToolOutput.h"
#include "ToolProcess.h"
#include "ToolUpdate.h"
#include "Trace.h"
#include "WorkFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <utility>

using namespace std::chrono_literals;

namespace {

// The download's name inside its work folder; the tool fills in the container it fetched.
const QString downloadName = QStringLiteral("download");
// Subtitle tracks beside it: "subtitles.<language>.<format>".
const QString subtitleName = QStringLiteral("subtitles");

// ffmpeg reports its progress on standard error about twice a second; minutes of silence mean it hangs.
constexpr std::chrono::milliseconds converterSilence = 5min;

QStringList subtitleArguments(const QStringList &languages)
{
    if (languages.isEmpty()) {
        return {};
    }
    return { QStringLiteral("--write-subs"), QStringLiteral("--sub-langs"), languages.join(QLatin1Char(',')),
             QStringLiteral("-o"), QStringLiteral("subtitle:") + subtitleName + QStringLiteral(".%(ext)s") };
}

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// The tool's finished file in its work folder: "download.<ext>", not a part, fragment or format piece.
QString finishedDownload(const QString &folder)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        const QString suffix = entry.completeSuffix();
        if (entry.baseName() == downloadName && !suffix.isEmpty() && !suffix.contains(QLatin1Char('.'))
            && suffix != QLatin1String("part") && suffix != QLatin1String("ytdl")) {
            return entry.absoluteFilePath();
        }
    }
    return {};
}

} // namespace

Downloader::Downloader(QObject *parent)
    : Downloader(QCoreApplication::applicationDirPath(), parent)
{ }

Downloader::Downloader(const QString &folder, QObject *parent)
    : QObject(parent)
    , toolFolder(folder)
    , toolPath(ExternalTools::path(Platform::Tool::SiteDownloader, folder, Platform::currentOs(),
                                   Platform::isOlderThanNt52()))
    , pageTool(makeTool(&Downloader::readPage, &Downloader::gotPage))
    , fileTool(makeTool(&Downloader::readFile, &Downloader::gotFile))
    , conversionTool(makeTool(&Downloader::readFormatConverting, &Downloader::doneFormatConverting))
    , updateTool(makeTool(&Downloader::readUpdate, &Downloader::gotUpdate))
    , testTool(makeTool(&Downloader::testRead, &Downloader::testResult))
    , copyUpdate(new ToolUpdate(this))
    , liveCheck(new LivePlaylistCheck(this))
    // A page of links is small; anything larger is not read to the end.
    , linkFetch(new BoundedFetch(4 * 1024 * 1024, this))
{
    connect(linkFetch, &BoundedFetch::finished, this, &Downloader::readLinks);
    connect(copyUpdate, &ToolUpdate::finished, this, &Downloader::privateCopyUpdated);
    connect(liveCheck, &LivePlaylistCheck::checked, this, [this](bool live) {
        info.live = live;
        announceOptions();
    });
    // Before the tools are stopped politely at quit: a converter asked to finish would end "successfully"
    // with a cut-off file, which must never be saved.
    if (QCoreApplication::instance() != nullptr) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &Downloader::abandonAll);
    }
    if (!QFileInfo(toolPath).isFile()) {
        traceError() << "Downloader"
                     << "tool missing" << toolPath;
        reportSoon(ToolMissing, QDir::toNativeSeparators(toolPath));
    }
}

Downloader::~Downloader()
{
    // The tools end before their work folders go.
    abandonAll();
}

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
    copyUpdate->setStallTimeout(timeout);
}

QString Downloader::updateText() const
{
    return updateResult;
}

QString Downloader::keptDownload() const
{
    return keptResult;
}

QString Downloader::lastToolMessage() const
{
    return lastMessage;
}

bool Downloader::isBusy() const
{
    return pageTool->isRunning() || liveCheck->isRunning() || fileTool->isRunning() || conversionTool->isRunning();
}

void Downloader::requestOptions()
{
    trace() << "requestOptions"
            << ":" << address;
    // Replies of an earlier URL must not count towards this one's options page.
    info.received.clear();
    info.title.clear();
    info.duration.clear();
    info.videos.clear();
    info.formats.clear();
    linkFetch->abandon();
    info.live = false;
    liveCheck->abandon();
    requestPage();
}

void Downloader::requestPage()
{
    trace() << "requestPage"
            << "Get title, duration and formats";
    pageOutput.clear();
    // The videos of a playlist are listed by their titles and lengths, without reading each one's page.
    startTool(pageTool, toolPath,
              Platform::siteToolEncoding(Platform::currentOs()) + cookieArguments()
                  + QStringList { QStringLiteral("--dump-single-json"), QStringLiteral("--flat-playlist"),
                                  QStringLiteral("--"), address });
}

void Downloader::useCookies(const QString &browser, const QString &file, const QString &copyAt)
{
    cookieBrowser = browser;
    cookieFile = file;
    cookieCopy = copyAt;
}

QStringList Downloader::cookieArguments()
{
    if (!cookieBrowser.isEmpty()) {
        return { QStringLiteral("--cookies-from-browser"), cookieBrowser };
    }
    if (cookieFile.isEmpty() || cookieCopy.isEmpty()) {
        return {};
    }
    QFile source(cookieFile);
    // Sign-in secrets: the copy is the user's alone before anything is written into it. It replaces the last copy
    // whole, so a download starting beside this one never reads it half written.
    QSaveFile copy(cookieCopy);
    if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly)
        || !copy.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || copy.write(source.readAll()) < 0
        || !copy.commit()) {
        traceError() << "cookieArguments : the cookies file" << cookieFile << "could not be read";
        return {};
    }
    return { QStringLiteral("--cookies"), cookieCopy };
}

bool Downloader::lookForLinks(const QString &toolWords)
{
    const QUrl page(address);
    if (page.scheme() != QLatin1String("http") && page.scheme() != QLatin1String("https")) {
        return false;
    }
    toolRefusal = toolWords;
    currentOperation = RequestTitle;
    linkFetch->get(page, stallTimeout);
    return true;
}

void Downloader::readLinks(const BoundedFetch::Answer &answer)
{
    currentOperation = RequestNone;
    const PageLinks links = answer.error.isEmpty() ? PageLinks::read(answer.body, answer.url) : PageLinks();
    trace() << "readLinks :" << links.media.size() << "media links" << (answer.error.isEmpty() ? "" : ", not read");
    if (links.media.isEmpty()) {
        report(TitleFailed, toolRefusal);
        return;
    }
    info.title = cleanTitle(links.title.isEmpty() ? answer.url.host() : links.title);
    info.duration = QStringLiteral("0:00");
    info.formats.clear();
    info.subtitles.clear();
    info.videos.clear();
    for (const QUrl &media : links.media) {
        info.videos.append({ 1, QFileInfo(media.fileName()).completeBaseName(), QString(), media.toString() });
    }
    noteReceived(RequestTitle);
    emit haveTitle();
    noteReceived(RequestFormats);
    emit haveFormats();
}

void Downloader::readPage()
{
    pageOutput += pageTool->readOutput();
}

void Downloader::gotPage(int exitCode)
{
    if (exitCode != 0) {
        traceError() << "gotPage"
                     << "exitCode" << exitCode;
        const QString words = wordsOf(pageTool);
        if (!words.contains(QLatin1String("Unsupported URL")) || !lookForLinks(words)) {
            report(TitleFailed, words);
        }
        return;
    }
    const std::optional<FormatListing> listing = parseFormatListing(pageOutput);
    if (!listing) {
        traceError() << "gotPage"
                     << "unreadable answer" << pageOutput.left(200);
        report(FormatsFailed, QStringLiteral("The site-download tool's answer could not be read."));
        return;
    }
    info.title = cleanTitle(listing->title.isEmpty() ? QStringLiteral("default") : listing->title);
    info.duration = listing->duration.isEmpty() ? QStringLiteral("0:00") : listing->duration;
    info.videos = listing->videos;
    info.formats = listing->formats;
    info.subtitles = listing->subtitles;
    info.live = listing->live.value_or(false);
    trace() << "gotPage"
            << ": OK" << info.title << info.duration << info.videos.size() << info.formats.size() << info.live;
    // The tool's generic reader says nothing of a live HLS stream; its playlist tells.
    const auto hls = std::find_if(info.formats.crbegin(), info.formats.crend(),
                                  [](const FormatEntry &format) { return format.hls && !format.url.isEmpty(); });
    if (!listing->live && hls != info.formats.crend()) {
        liveCheck->check(*hls);
        return;
    }
    announceOptions();
}

void Downloader::announceOptions()
{
    noteReceived(RequestTitle);
    emit haveTitle();
    noteReceived(RequestFormats);
    emit haveFormats();
}

void Downloader::setPlaylistItem(int item)
{
    playlistItem = std::max(1, item);
}

void Downloader::resumeIn(const QString &folder)
{
    resumeFolder = folder;
}

QString Downloader::downloadFolder() const
{
    return workFolder;
}

void Downloader::requestFile(const QString &format, const QString &file, UserFileSave::Replace replace,
                             const QStringList &subtitles)
{
    trace() << "requestFile"
            << "Download file" << format << file;
    fileTool->abandon();
    downloadedFile.clear();
    keptResult.clear();
    keptPath = file;
    keptReplace = replace;
    writeFolder = QFileInfo(file).absolutePath();
    downloadSave = std::make_unique<UserFileSave>(file, replace);
    if (!resumeFolder.isEmpty()) {
        trace() << "requestFile : resumes in" << resumeFolder << downloadSave->resume(resumeFolder);
    }
    const QString work = downloadSave->workFolder();
    workFolder = work;
    if (work.isEmpty()) {
        reportSoon(FileFailed, downloadSave->errorString());
        downloadSave.reset();
        return;
    }
    // The tool always fetches into an empty folder: a file of the user's can never pass for the download.
    // The folder goes in through --paths, which the tool does not read as a name template. Formats that
    // are fetched apart are joined by the program's own converter.
    const QStringList arguments = Platform::siteToolEncoding(Platform::currentOs()) + cookieArguments()
        + QStringList { QStringLiteral("--paths"),
                        work,
                        QStringLiteral("-o"),
                        downloadName + QStringLiteral(".%(ext)s"),
                        QStringLiteral("--playlist-items"),
                        QString::number(playlistItem),
                        QStringLiteral("--ffmpeg-location"),
                        converterPath(),
                        QStringLiteral("--format"),
                        format }
        + subtitleArguments(subtitles) + ToolProgress::arguments() + QStringList { QStringLiteral("--"), address };
    fileOutput.clear();
    currentOperation = RequestFile;
    startTool(fileTool, toolPath, arguments);
}

void Downloader::readFile()
{
    fileOutput += fileTool->readOutput();
    readFileLines(false);
}

void Downloader::readFileLines(bool all)
{
    const qsizetype end
        = all ? fileOutput.size() : std::max(fileOutput.lastIndexOf('\n'), fileOutput.lastIndexOf('\r')) + 1;
    const QString text = toolText(fileOutput.left(end));
    fileOutput.remove(0, end);
    static const QRegularExpression lineEnds(QStringLiteral("[\r\n]"));
    // Lines that pile up while the event loop is busy are reported each in turn.
    for (const QString &line : text.split(lineEnds, Qt::SkipEmptyParts)) {
        if (const std::optional<ToolProgress> figures = ToolProgress::fromLine(line)) {
            if (figures->percent() >= 0) {
                emit percent(figures->percent());
            }
            emit transferred(*figures);
            continue;
        }
        for (const float value : progressPercents(line)) {
            emit percent(value);
        }
    }
}

void Downloader::gotFile(int exitCode)
{
    readFileLines(true);
    currentOperation = RequestNone;
    const QString fetched = exitCode == 0 && downloadSave ? finishedDownload(downloadSave->workFolder()) : QString();
    if (fetched.isEmpty()) {
        traceError() << "gotFile"
                     << "exitCode" << exitCode;
        const QString words = exitCode == 0 ? QStringLiteral("The tool wrote no file.") : wordsOf(fileTool);
        downloadSave.reset();
        report(FileFailed, words);
        return;
    }
    downloadedFile = fetched;
    WorkFolders::completed(downloadSave->workFolder(), fetched);
    keepSubtitles();
    // The kept name carries the container really fetched; a name the user was not asked about never
    // replaces anything.
    const QString extension = QFileInfo(fetched).suffix();
    if (QFileInfo(keptPath).suffix() != extension) {
        const QString expected = QLatin1Char('.') + QFileInfo(keptPath).suffix();
        QString stem = keptPath;
        if (keptPath.endsWith(expected)) {
            stem.chop(expected.size());
        }
        keptPath = stem + QLatin1Char('.') + extension;
        keptReplace = UserFileSave::Replace::Refuse;
    }
    noteReceived(RequestFile);
    trace() << "gotFile"
            << ": OK" << fetched;
    emit haveFile();
}

void Downloader::formatConverting(const QString &from, const QString &to, Downloader::FormatConvertingFrom mode,
                                  UserFileSave::Replace replace)
{
    trace() << "formatConverting"
            << ": OK" << from << to << mode;
    conversionTool->abandon();
    conversionReplace = replace;
    conversionMode = mode;
    keptResult.clear();
    writeFolder = QFileInfo(to).absolutePath();
    const bool ownDownload = !downloadedFile.isEmpty() && downloadSave && samePath(from, downloadSave->finalPath());
    const QString source = ownDownload ? downloadedFile : from;
    targetSave = std::make_unique<UserFileSave>(to, replace);

    // A target that cannot be written ends the save; a download of ours is kept beside it.
    const auto saveFailed = [this, ownDownload] {
        const QString words = targetSave->errorString();
        targetSave.reset();
        if (ownDownload) {
            keptResult = keepDownload();
        }
        return words;
    };

    if (QFileInfo(source).suffix() == QFileInfo(to).suffix()) {
        bool saved = true;
        if (ownDownload) {
            saved = targetSave->commit(downloadedFile);
            if (saved) {
                downloadedFile.clear();
                downloadSave.reset();
            }
        } else if (!samePath(source, to)) {
            // Someone else's file is copied, never moved: the source stays where it is.
            const QString copy = targetSave->workPath(QFileInfo(to).fileName());
            saved = !copy.isEmpty() && QFile::copy(source, copy) && targetSave->commit(copy);
        }
        if (!saved) {
            traceError() << "formatConverting"
                         << "cannot save" << source << to;
            report(ConversionFailed, saveFailed());
            return;
        }
        targetSave.reset();
        emit doneExtractAudio();
        return;
    }

    const QString converted = targetSave->workPath(QStringLiteral("converted.") + QFileInfo(to).suffix());
    if (converted.isEmpty()) {
        reportSoon(ConversionFailed, saveFailed());
        return;
    }
    // The converter writes into the empty work folder, so its "-y" never meets a file of the user's.
    // A download goes into a video container as it is when the container takes its streams.
    const QStringList copied = mode == FromVideoDownload ? copyConverterArguments(source, converted) : QStringList();
    copying = !copied.isEmpty();
    converterArguments = copying ? copied
        : mode == FromRecorder   ? h264ConverterArguments(source, converted)
                                 : ::converterArguments(source, converted);
    const QString converter = converterPath();
    trace() << "formatConverting"
            << "binFFmpeg" << converter << "params" << converterArguments;
    currentOperation = RequestConversion;
    conversionOutput.clear();
    startTool(conversionTool, converter, ConverterProgress::arguments() + converterArguments);
}

void Downloader::readFormatConverting()
{
    conversionOutput += conversionTool->readOutput();
    ConverterProgress figures;
    while (figures.read(conversionOutput)) {
        emit converted(figures.secondsDone, figures.bytesWritten, figures.speed);
    }
}

void Downloader::doneFormatConverting(int exitCode)
{
    trace() << "doneFormatConverting"
            << ": OK"
            << "exitCode" << exitCode;
    currentOperation = RequestNone;
    const auto fail = [this, exitCode](errors error, const QString &words) {
        traceError() << "doneFormatConverting"
                     << "exitCode" << exitCode << words;
        targetSave.reset();
        // The complete download is worth keeping: the user may convert it some other way.
        keptResult = keepDownload();
        report(error, words);
    };
    const QString converted = converterArguments.constLast();
    if (exitCode != 0 || ConverterOutput::writeFailed(conversionTool->errorTail())) {
        const errors cause = causeOf(ConversionFailed, wordsOf(conversionTool));
        if (copying && cause == ConversionFailed && conversionTool != silentTool) {
            // The container does not take a stream as it is: it gets H.264 and AAC instead.
            traceError() << "doneFormatConverting : the streams could not be copied," << wordsOf(conversionTool);
            copying = false;
            converterArguments = h264ConverterArguments(converterArguments.at(1), converted);
            currentOperation = RequestConversion;
            conversionOutput.clear();
            startTool(conversionTool, converterPath(), ConverterProgress::arguments() + converterArguments);
            return;
        }
        fail(ConversionFailed, wordsOf(conversionTool));
        return;
    }
    if (!QFileInfo::exists(converted)) {
        fail(ConversionNoOutput, QString());
        return;
    }
    if (!targetSave->commit(converted)) {
        fail(ConversionFailed, targetSave->errorString());
        return;
    }
    targetSave.reset();
    // A video save keeps the download beside the result; an audio save needs it no longer.
    if (conversionMode == FromVideoDownload) {
        keepDownload();
    } else {
        downloadedFile.clear();
        downloadSave.reset();
    }
    noteReceived(RequestConversion);
    trace() << "doneFormatConverting"
            << ": OK";
    emit doneExtractAudio();
}

void Downloader::usePrivateCopy(const QString &dataFolder, const QUrl &release)
{
    copyPath = ExternalTools::privateCopyPath(dataFolder, Platform::currentOs());
    releaseAddress = release;
}

void Downloader::checkUpdates()
{
    trace() << "checkUpdates"
            << "Check for updates";
    updateOutput.clear();
    copyError.clear();
    updateTool->abandon();
    if (copyPath.isEmpty()) {
        startTool(updateTool, toolPath, { QStringLiteral("--update") });
        return;
    }
    copyUpdate->start(releaseAddress, copyPath);
}

bool Downloader::systemToolInUse() const
{
    return !copyPath.isEmpty() && !QFileInfo(copyPath).isFile();
}

QString Downloader::systemToolVersion() const
{
    return systemVersion;
}

void Downloader::privateCopyUpdated()
{
    if (copyUpdate->version().isEmpty()) {
        copyError = copyUpdate->errorString();
        if (!systemToolInUse()) {
            report(UpdateFailed, std::exchange(copyError, {}));
            return;
        }
        // The user is told which tool stays in use, and how old it is.
        startTool(updateTool, toolPath, { QStringLiteral("--version") });
        return;
    }
    updateResult = copyUpdate->version();
    trace() << "privateCopyUpdated" << updateResult;
    emit snifferUpdated();
}

void Downloader::readUpdate()
{
    updateOutput += updateTool->readOutput();
}

void Downloader::gotUpdate(int exitCode)
{
    if (!copyError.isEmpty()) {
        systemVersion = exitCode == 0 ? toolLines(updateOutput).value(0).trimmed() : QString();
        lastMessage = std::exchange(copyError, {});
        emit systemToolKept();
        return;
    }
    if (exitCode != 0) {
        traceError() << "gotUpdate"
                     << "exitCode" << exitCode;
        report(UpdateFailed, wordsOf(updateTool));
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
    startTool(testTool, toolPath,
              Platform::siteToolEncoding(Platform::currentOs())
                  + QStringList { QStringLiteral("--get-title"), QStringLiteral("--"), url });
}

void Downloader::testRead()
{
    testOutput += testTool->readOutput();
}

void Downloader::testResult(int exitCode)
{
    if (exitCode != 0) {
        traceError() << "testResult"
                     << "exitCode" << exitCode;
        report(TestRunFailed, wordsOf(testTool));
        return;
    }
    const QString title = toolLines(testOutput).value(0);
    if (title != testExpectedTitle) {
        traceError() << "testResult"
                     << "title" << title << "expected" << testExpectedTitle;
        report(TestTitleMismatch, title);
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
    // A lookup the user left must not answer later over whatever page is shown by then.
    pageTool->abandon();
    linkFetch->abandon();
    liveCheck->abandon();
    if (currentOperation == RequestFile) {
        fileTool->abandon();
        // Parts, fragments and the tool's own notes all lie in the work folder.
        downloadSave.reset();
    } else if (currentOperation == RequestConversion) {
        conversionTool->abandon();
        targetSave.reset();
        keptResult = keepDownload();
    }
    currentOperation = RequestNone;
}

ToolProcess *Downloader::makeTool(Reader reader, Finisher finisher)
{
    auto *tool = new ToolProcess(this);
    connect(tool, &ToolProcess::outputReady, this, reader);
    connect(tool, &ToolProcess::ended, this, [this, tool, finisher](ToolProcess::End how, int exitCode) {
        switch (how) {
        case ToolProcess::End::Exited:
            (this->*finisher)(exitCode);
            break;
        case ToolProcess::End::Silent:
            // A hung tool fails its request like a tool that gave up.
            silentTool = tool;
            (this->*finisher)(-1);
            silentTool = nullptr;
            break;
        case ToolProcess::End::Crashed:
        case ToolProcess::End::FailedToStart:
            toolBroke(tool);
            break;
        }
    });
    return tool;
}

void Downloader::startTool(ToolProcess *tool, const QString &program, const QStringList &arguments)
{
    keptResult.clear();
    ToolProcess::Options options;
    options.output = ToolProcess::Output::StandardOutput;
    options.silenceLimit = tool == conversionTool ? converterSilence : stallTimeout;
    if (program == toolPath && !copyPath.isEmpty()) {
        options.environment.insert(ExternalTools::PrivateCopyVariable, copyPath);
    }
    tool->start(program, arguments, options);
}

void Downloader::toolBroke(ToolProcess *tool)
{
    traceError() << "toolBroke" << tool->program() << tool->errorLine();
    if (tool == fileTool && currentOperation == RequestFile) {
        downloadSave.reset();
        currentOperation = RequestNone;
    } else if (tool == conversionTool && currentOperation == RequestConversion) {
        targetSave.reset();
        keptResult = keepDownload();
        currentOperation = RequestNone;
    }
    const QString words = tool->errorLine();
    report(ToolNotStarted, words.isEmpty() ? QDir::toNativeSeparators(tool->program()) : words);
}

void Downloader::report(Downloader::errors error, const QString &words)
{
    lastMessage = words;
    emit hasError(causeOf(error, words));
}

Downloader::errors Downloader::causeOf(Downloader::errors error, const QString &words) const
{
    if (error == TitleFailed || error == FileFailed) {
        const ToolProcess *tool = error == FileFailed ? fileTool : pageTool;
        switch (ToolFailure::of(words + QLatin1Char('\n') + QString::fromLocal8Bit(tool->errorTail()))) {
        case ToolFailure::Kind::LoginNeeded:
            return LoginNeeded;
        case ToolFailure::Kind::Refused:
            return SiteRefused;
        case ToolFailure::Kind::Other:
            break;
        }
    }
    if (error != FileFailed && error != ConversionFailed && error != ConversionNoOutput) {
        return error;
    }
    // The tool may have said why long before its last line ("No space left on device", then "Conversion failed!").
    const ToolProcess *tool = error == FileFailed ? fileTool : conversionTool;
    switch (SaveProblem::of(writeFolder, words + QLatin1Char('\n') + QString::fromLocal8Bit(tool->errorTail()))) {
    case SaveProblem::Kind::DiskFull:
        return DiskFull;
    case SaveProblem::Kind::FolderNotWritable:
        return FolderNotWritable;
    case SaveProblem::Kind::Other:
        break;
    }
    return error;
}

void Downloader::reportSoon(Downloader::errors error, const QString &words)
{
    // The caller hears it from the event loop, after the call that caused it has returned.
    QMetaObject::invokeMethod(
        this, [this, error, words] { report(error, words); }, Qt::QueuedConnection);
}

QString Downloader::wordsOf(const ToolProcess *tool) const
{
    if (tool == silentTool) {
        const auto limit = tool == conversionTool ? converterSilence : stallTimeout;
        return QStringLiteral("%1 gave no sign of life for %2 s and was stopped.")
            .arg(QFileInfo(tool->program()).fileName())
            .arg(std::chrono::duration_cast<std::chrono::seconds>(limit).count());
    }
    return tool->errorLine();
}

void Downloader::abandonAll()
{
    for (ToolProcess *tool : { pageTool, fileTool, conversionTool, updateTool, testTool }) {
        tool->abandon();
    }
    copyUpdate->abandon();
    liveCheck->abandon();
    currentOperation = RequestNone;
    targetSave.reset();
    downloadSave.reset();
    downloadedFile.clear();
}

void Downloader::keepSubtitles()
{
    const QString stem = QFileInfo(keptPath).path() + QLatin1Char('/') + QFileInfo(keptPath).completeBaseName();
    const QFileInfoList tracks
        = QDir(downloadSave->workFolder()).entryInfoList({ subtitleName + QStringLiteral(".*") }, QDir::Files);
    for (const QFileInfo &track : tracks) {
        // "subtitles.en.vtt": what follows the name is the language and the format.
        const QString wanted = stem + track.fileName().mid(subtitleName.size());
        const QString path = UserFileSave::exists(wanted) ? SaveName::freeName(wanted) : wanted;
        if (!UserFileSave(path, UserFileSave::Replace::Refuse).commit(track.absoluteFilePath())) {
            traceError() << "keepSubtitles : cannot keep" << track.fileName() << "as" << path;
        }
    }
}

QString Downloader::keepDownload()
{
    if (downloadedFile.isEmpty()) {
        return {};
    }
    QString path = keptPath;
    if (!UserFileSave(path, keptReplace).commit(downloadedFile)) {
        // The name is taken by a file nobody agreed to replace: the download goes beside it.
        path = SaveName::freeName(keptPath);
        if (!UserFileSave(path, UserFileSave::Replace::Refuse).commit(downloadedFile)) {
            path.clear();
        }
    }
    trace() << "keepDownload" << path;
    downloadedFile.clear();
    downloadSave.reset();
    return path;
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
