#pragma once

#include "UserFileSave.h"
#include "VideoInfo.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>

class QProcess;
class QUrl;

// Drives the site-download tool (title, formats, file, update, self-test) and the converter as child
// processes, one process handle per request kind. Every request ends in exactly one signal: its success
// signal or hasError(). Notifications of a process that a newer request of its kind replaced are ignored.
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
        ToolNotStarted = 10
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

    // Starts the title and the formats requests together, on an emptied record.
    void requestOptions();
    void requestFile(int format, const QString &file);
    // Converts from into to, the user's chosen file, which replaces an existing file only when the user
    // agreed to it.
    void formatConverting(const QString &from, const QString &to, Downloader::FormatConvertingFrom mode,
                          UserFileSave::Replace replace);
    void checkUpdates();
    void testIt(const QString &url, const QString &expectedTitle);
    // Cancels a running file download or conversion and removes what it left behind.
    void stop();

    VideoInfo &videoInfo();
    const VideoInfo &videoInfo() const;
    // A site-download tool request that prints nothing for this long is ended as a failure of its
    // request. The converter is never timed: it prints nothing while it works.
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
    void snifferUpdated();

public slots:
    void requestTitle();
    void readTitle();
    void gotTitle(int exitCode);
    void requestFormats();
    void readFormats();
    void gotFormats(int exitCode);
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
    enum class Watch { None, Silence };

    void launch(QProcess *&handle, const QString &program, const QStringList &arguments, Reader reader,
                Finisher finisher, Watch watch);
    void retire(QProcess *&handle);
    void toolBroke(QProcess *&handle);
    void noteReceived(RequestKind kind);
    QString converterPath() const;

    int currentOperation = RequestNone;
    std::chrono::milliseconds stallTimeout { 90000 };
    VideoInfo info;
    QString toolFolder;
    QString toolPath;
    QString address;
    QString partialFile;
    QByteArray titleOutput;
    QByteArray formatsOutput;
    QByteArray updateOutput;
    QString updateResult;
    QByteArray testOutput;
    QString testExpectedTitle;
    QStringList converterArguments;
    FormatConvertingFrom conversionMode = FromAudioDownload;
    UserFileSave::Replace conversionReplace = UserFileSave::Replace::Refuse;

    QProcess *titleProcess = nullptr;
    QProcess *formatsProcess = nullptr;
    QProcess *fileProcess = nullptr;
    QProcess *conversionProcess = nullptr;
    QProcess *updateProcess = nullptr;
    QProcess *testProcess = nullptr;
};
