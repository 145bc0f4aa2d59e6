#pragma once

#include "BoundedFetch.h"
#include "ToolProgress.h"
#include "UserFileSave.h"
#include "VideoInfo.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <memory>

class LivePlaylistCheck;
class ToolProcess;
class ToolUpdate;

// Drives the site-download tool (page, file, update, self-test) and the converter, one tool
// per request kind. Every request ends in exactly one signal: its success signal or hasError() (an
// update may end in systemToolKept() instead). A newer request of a kind abandons the older one, which
// then reports nothing.
// A download lands in a private work folder and reaches a name the user sees only as a complete file:
// converted into the chosen target, or kept beside it under its own name.
class Downloader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Downloader)

public:
    enum errors : int {
        ToolMissing = 0,
        TestRunFailed = 1,
        TestTitleMismatch = 2,
        TitleFailed = 3,
        UpdateFailed = 4,
        ConversionFailed = 5,
        ConversionNoOutput = 6,
        ConversionCannotRemoveSource = 7,
        FormatsFailed = 8,
        FileFailed = 9,
        // The tool or the converter could not be started, or it crashed.
        ToolNotStarted = 10,
        // A download or a conversion failed because its folder is full, or may not be written to.
        DiskFull = 11,
        FolderNotWritable = 12,
        // The page or the download needs the user signed in to the site.
        LoginNeeded = 13,
        // The site answered the download with 403 Forbidden.
        SiteRefused = 14
    };
    Q_ENUM(errors)

    enum FormatConvertingFrom : int { FromAudioDownload = 0, FromVideoDownload = 1, FromRecorder = 2 };
    Q_ENUM(FormatConvertingFrom)

    // The tools are looked up in toolFolder, by default the application's folder. A missing site-download
    // tool is reported as hasError(ToolMissing) once control returns to the event loop, so a receiver
    // connected right after construction sees it.
    explicit Downloader(QObject *parent = nullptr);
    explicit Downloader(const QString &toolFolder, QObject *parent = nullptr);
    ~Downloader() override;

    // Accepts a non-empty, valid URL; otherwise returns false and keeps the previous one.
    bool setUrl(const QUrl *url);
    QString url() const;

    // Where page reads and downloads take the cookies that sign the user in: a browser for the tool's
    // --cookies-from-browser ("firefox", "chromium:/profile/folder"), or a cookies.txt file, read through a copy at
    // copyAt made before each run (the tool writes its cookies back to the file it is given). Both empty: none.
    void useCookies(const QString &browser, const QString &file, const QString &copyAt);

    // Reads the page once, on an emptied record: its title, length and formats arrive together.
    void requestOptions();
    // Downloads the page's first video into a work folder. format is what the tool is asked for (a format
    // id or selector, see formatSelector()); file is the name the download is kept under if it is kept
    // (with the format's extension); replace says whether it may replace a file of that name.
    // subtitles: languages whose tracks are saved beside the kept name ("NAME.en.vtt") once the download is complete.
    // Which of the page's videos requestFile() fetches; 1, the first, unless set.
    void setPlaylistItem(int item);
    // requestFile() goes on in the work folder an interrupted download of the same file left, when it still is one:
    // the tool then resumes what it had fetched.
    void resumeIn(const QString &folder);
    // The running or last download's work folder.
    QString downloadFolder() const;
    void requestFile(const QString &format, const QString &file,
                     UserFileSave::Replace replace = UserFileSave::Replace::Refuse, const QStringList &subtitles = {});
    // Converts from into to, the user's chosen file, which replaces an existing file only when the user
    // agreed to it. When from names the download just made, that download is the source: a video save
    // keeps it beside the result, an audio save drops it. Any other source is only read.
    void formatConverting(const QString &from, const QString &to, Downloader::FormatConvertingFrom mode,
                          UserFileSave::Replace replace);
    // The tool updates itself ("--update") unless the driver keeps a private copy of it: then the copy in
    // dataFolder is fetched from release and the launcher beside the program runs it.
    void usePrivateCopy(const QString &dataFolder, const QUrl &release);
    void checkUpdates();
    // The driver keeps a private copy but has none yet, so the launcher runs the system's tool.
    bool systemToolInUse() const;
    // What the system's tool printed for --version after an update that left it in use.
    QString systemToolVersion() const;
    void testIt(const QString &url, const QString &expectedTitle);
    // Cancels the page lookup, a download or a conversion; nothing of theirs is reported afterwards.
    // A cancelled download leaves nothing; a cancelled conversion leaves no target and keeps the
    // complete download (see keptDownload()).
    void stop();
    // A page lookup, download or conversion is running.
    bool isBusy() const;

    // Where the complete download was kept when its conversion was cancelled or failed; else empty.
    QString keptDownload() const;
    // The words of the tool, or of the save, behind the last hasError(); empty when there are none.
    QString lastToolMessage() const;

    VideoInfo &videoInfo();
    const VideoInfo &videoInfo() const;
    // A site-download tool request that prints nothing for this long is ended as a failure of its
    // request. The converter has no time limit; only a converter silent for minutes is taken for hung.
    void setStallTimeout(std::chrono::milliseconds timeout);

    // The output of the last successful update run.
    QString updateText() const;

signals:
    void hasError(Downloader::errors error);
    // Both the title and the formats of the current URL have arrived.
    void haveOptions();
    void haveTitle();
    void haveFormats();
    void haveFile();
    void testOK();
    void doneExtractAudio();
    void percent(float value);
    // The download's figures, as the tool gives them.
    void transferred(const ToolProgress &progress);
    // How far the conversion has come: seconds of the file written, bytes, and ffmpeg's speed (0 when unknown).
    void converted(double secondsDone, qint64 bytesWritten, double speed);
    void snifferUpdated();
    // Ends an update in place of hasError() when no private copy could be fetched and the system's
    // tool stays in use: its version in systemToolVersion(), the cause in lastToolMessage().
    void systemToolKept();

public slots:
    void requestPage();
    void readPage();
    void gotPage(int exitCode);
    void readFile();
    void gotFile(int exitCode);
    void readUpdate();
    void gotUpdate(int exitCode);
    void readFormatConverting();
    void doneFormatConverting(int exitCode);
    void testRead();
    void testResult(int exitCode);

private:
    using Reader = void (Downloader::*)();
    using Finisher = void (Downloader::*)(int);

    ToolProcess *makeTool(Reader reader, Finisher finisher);
    void startTool(ToolProcess *tool, const QString &program, const QStringList &arguments);
    void toolBroke(ToolProcess *tool);
    void report(Downloader::errors error, const QString &words);
    // A failure to write is told by its cause, whichever step met it.
    Downloader::errors causeOf(Downloader::errors error, const QString &words) const;
    void reportSoon(Downloader::errors error, const QString &words);
    QString wordsOf(const ToolProcess *tool) const;
    // Ends every tool at once and drops what they were writing; nothing of theirs is reported.
    void abandonAll();
    // Puts the held download under its kept name, or a free name beside it; returns where it went.
    QString keepDownload();
    // Puts the subtitle tracks the tool fetched beside the kept name, under free names.
    void keepSubtitles();
    void noteReceived(RequestKind kind);
    // The page's title and formats are complete.
    void announceOptions();
    // Reports the progress of the download's complete lines; with all, of what is left too.
    void readFileLines(bool all);
    void privateCopyUpdated();
    // A page the tool does not support may still link to media files: it is read for them, and they are offered as
    // the page's videos. Returns false when the address is no web page.
    bool lookForLinks(const QString &toolWords);
    void readLinks(const BoundedFetch::Answer &answer);
    QString converterPath() const;
    // The tool's cookie options for the next run; empty when there are none or the file cannot be read.
    QStringList cookieArguments();

    int currentOperation = RequestNone;
    std::chrono::milliseconds stallTimeout { 90000 };
    VideoInfo info;
    QString toolFolder;
    QString toolPath;
    // Given to the tool after "--" only, so that an address starting with "-" is never read as an option.
    QString address;
    int playlistItem = 1;
    QString resumeFolder;
    QString workFolder;
    std::unique_ptr<UserFileSave> downloadSave;
    // The complete download inside downloadSave's work folder, and the name it is kept under.
    QString downloadedFile;
    QString keptPath;
    UserFileSave::Replace keptReplace = UserFileSave::Replace::Refuse;
    QString keptResult;
    std::unique_ptr<UserFileSave> targetSave;
    QString lastMessage;
    // Where the running download or conversion writes.
    QString writeFolder;
    const ToolProcess *silentTool = nullptr;
    QString cookieBrowser;
    QString cookieFile;
    QString cookieCopy;
    QByteArray pageOutput;
    // The download's output after its last line end: the rest of that line is still to come.
    QByteArray fileOutput;
    QByteArray updateOutput;
    QByteArray conversionOutput;
    QString updateResult;
    QString copyPath;
    QUrl releaseAddress;
    // Why fetching a copy failed, while the system's tool is asked for its version.
    QString copyError;
    QString systemVersion;
    QByteArray testOutput;
    QString testExpectedTitle;
    QStringList converterArguments;
    // The running conversion copies the download's streams; when that fails it is run again, encoding.
    bool copying = false;
    FormatConvertingFrom conversionMode = FromAudioDownload;
    UserFileSave::Replace conversionReplace = UserFileSave::Replace::Refuse;

    ToolProcess *pageTool;
    ToolProcess *fileTool;
    ToolProcess *conversionTool;
    ToolProcess *updateTool;
    ToolProcess *testTool;
    ToolUpdate *copyUpdate;
    LivePlaylistCheck *liveCheck;
    BoundedFetch *linkFetch;
    // What the tool said of a page that is read for links instead, for when it has none.
    QString toolRefusal;
};
