#pragma once

#include "AVRecorder.h"
#include "CookieSource.h"
#include "Downloader.h"
#include "LayerPlan.h"
#include "ProgressAnimation.h"
#include "SettingsFile.h"
#include "SniffedList.h"
#include "UserFileSave.h"
#include "VideoInfo.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <source_location>
#include <vector>

class CaptureEngines;
class DownloadQueue;
class QueuePanel;
struct QueueEntry;
class CaptureMessageBoxes;
class CVideoSniffer;
class QAction;
class QFileDialog;
class QListWidgetItem;
class QPushButton;
class QSettings;
struct MenuEntry;
class QTimer;
class SnifferKeyLog;

namespace Ui {
class Sniffer;
class Navigation;
class InsertURL;
class Options;
class Progress;
class Settings;
class OldSniffer;
class DialogAbout;
} // namespace Ui

// The main window: a fixed-width stack of pages ("layers") from which every feature is reached.
// Its features live in one source file each; the logic they need without widgets lives in rules/.
class Sniffer final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sniffer)

public:
    enum MessageKind { Warning = 0, Error = 1, DownloadError = 2 };

    explicit Sniffer(QWidget *parent = nullptr);
    ~Sniffer() override;

    void start();
    void showLayer(int layer);
    // Whether the daily tool update is due; records today when it is.
    bool checkLastUpdateDate();
    void updateWindowTitle(const QString &version);

    // Shows the message box for an entry of the settings lists and returns when it is closed.
    // detail: the words of the tool or save behind the error, shown below the message.
    void showErrorMessage(int id, MessageKind kind, const QString &detail = QString());
    void showWarning(int id);
    void showError(int id);
    void showDownloaderError(int id, const QString &detail = QString());
    // Asks once, naming every one of the files that exists, before a save replaces them. Agreed when the
    // user said yes; cancelled when the user said no (the save must not go on).
    UserFileSave::Replace confirmReplace(const QStringList &paths, bool &cancelled);

    // Fills the options page's folder list with candidate folders for the current download.
    void setSaveFilePath();

    QSettings &settings() const;
    QString settingsFilePath() const;
    // The driver's record of the current page.
    VideoInfo &videoInfo();
    Downloader &siteDownloader() const;
    DownloadQueue &downloadQueue() const;

    // The progress page: percentages, a creeping bar, or "converting " with moving dots.
    void progressBarStart();
    void startProgress(int interval);
    void progressBarStart(int interval, bool converting);

    // State shared by the window's features.
    SettingsLists settingsLists;
    // Where the next error was raised: source file, line, operation, then comment lines.
    QStringList errorContext;
    QList<int> layerHistory;
    bool recorderSaveMode = false;
    // 4 for a video save, 5 for an audio save.
    int downloadKind = 0;
    // Set by the save dialog: the chosen container's extension (no dot) and the full path with it.
    QString targetExtension;
    QString chosenFilePath;
    // Whether the user agreed to replace an existing file of the chosen name.
    UserFileSave::Replace chosenReplace = UserFileSave::Replace::Refuse;

    // The file a browser started for sniffing writes its TLS secrets to, for the capture engines to read:
    // the user's SSLKEYLOGFILE when set, else the program's own, emptied as the sniffer page first opens.
    QString keyLogPath() const;

    // The sniffer page's engines, one per usable adapter; some may have failed to open theirs.
    const std::vector<std::unique_ptr<CVideoSniffer>> &captureEngines() const;

    // The capture engines' report receiver: runs on their threads and only queues the report.
    static void queueSniffReport(QByteArray url, QByteArray requestHeader, QByteArray contentLength,
                                 QByteArray mediaType, QByteArray body);

signals:
    void downloadFinished(QString path);

public slots:
    void progressBarIteration();
    void progressBarTextIteration();
    void stopLastProcess();
    void showPreviousPage();
    void showURLField();
    void showOptions();
    void processURL();
    void testSniffer();
    void updateSniffer();
    void postUpdateSniffer();
    void onClickHelp();
    void onClickHelpItem();
    void onRightClickDownloadOS(QPoint position);
    void onClickDownloadOSItem();
    void onDownloaderError(Downloader::errors error);
    void runDownloader();
    void postTitleRequest();
    void postFormatsRequest();
    void postDownload();
    void downloadVideo();
    void downloadAudio();
    void extractAudio(Downloader::FormatConvertingFrom mode);
    void extractAudio();
    void showPercents(float percent);
    void showTransfer(const ToolProgress &figures);
    void showConverted(double secondsDone, qint64 bytesWritten, double speed);
    void selectSavePath();
    // Returns false when the user cancelled: the caller must then stop its flow.
    bool selectSaveFile();
    void showLogsFolder();
    void showAboutDialog();
    void closeAboutDialog();
    void tovrinSetDefaultURL();
    void focusChanged(QWidget *old, QWidget *now);
    void focusOnInputURL();
    void saveDefaultFilePath();
    void selectDefaultFilePath();
    void runOldSniffer();
    void showOldSniffer();
    void checkUrlQueue();
    void onClickOldSnifferListItem(QListWidgetItem *item);
    void onClickOldSnifferListItem();
    void onClickOldSnifferPreview();
    void onClickOldSnifferRemove();
    void onClickOldSnifferDownloadVideo();
    void onClickOldSnifferDownloadAudio();
    // Starts a browser whose TLS secrets go to the key log.
    void onClickSniffBrowser();
    // Saves the selected item; returns the saved path, or nothing when it was not saved.
    QString onClickOldSnifferDownload();
    void onOldSnifferDownloadFinished(QString path);
    void onSaveFilterSelected(const QString &filter);
    void changeButtonIcon();
    void runRecorderAV();
    void doneRecorderAV(const QString &path);
    void doneRecorderAV(const AVRecorder::ResultingData &recording);
    void closeRecorderAV();
    void errorRecorderAV(int code, const QString &description);
    void postRecorderAV();
    // Saves the recording's result or audio file under the name and container chosen on the options page.
    void saveRecorderAV(const QString &source);
    // Offers on the options page a recording that an earlier run left unsaved in the temporary folder.
    void offerUnsavedRecording();
    // Asks before a recording that was not saved is given up; true when it was discarded.
    bool discardRecording();
    // Work folders an earlier run left beside the user's files are removed; a complete download in one is
    // offered first.
    void offerUnfinishedWork();
    // Removes the work folders an earlier run left, but for those in spare; offers the complete downloads found.
    void offerLeftoverDownloads(const QStringList &spare);
    void addAddress();
    // The settings page's sign-in choice for site downloads: filled from the installed browsers, given to the
    // downloader, and a cookies.txt file picked when that is chosen.
    void initCookies();
    void chooseCookies(int index);
    void applyCookies(const CookieSource &source);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct MenuLink
    {
        QAction *action = nullptr;
        QString target;
    };

    void setSettingsFile();
    void provisionSettingsFile();
    void settingsRead();
    void readSettingsList(const QString &group);

    void initWidgets();
    void initClickDownloadOS();
    void initClickHelp();
    // The help and site-link menus share these.
    void addMenuLinks(QList<MenuLink> &links, const QList<MenuEntry> &entries, void (Sniffer::*onTriggered)());
    void popUpMenu(const QList<MenuLink> &links, const QPoint &globalPosition);
    const MenuLink *senderLink(const QList<MenuLink> &links) const;
    void initDownloader();
    void initQueue();
    void fitQueuePanel();
    void tellSaved();
    void enqueueDownloads(const QList<QueueEntry> &entries);
    void showQueuedProgress();
    void queuedDownloadSaved(const QString &target);
    void queuedDownloadFailed(Downloader::errors error, const QString &detail);
    void showConverting(int interval);
    void initToolUpdate();
    // asked: the user asked for it, so a failure is reported every time.
    void startToolUpdate(bool asked);
    void systemToolKept();
    void showMainDialog();
    // Names where the next message is raised.
    void setErrorContext(const char *operation, std::source_location where = std::source_location::current());
    void stopDots();
    void clearFormatList();
    void showOptionsWhenComplete();
    void composeDownloadPath();
    QString downloadKeptPath() const;
    FormatEntry chosenFormat() const;
    // Records the live page from now until the user stops, into the file chosen in the save dialog.
    void recordLiveStream();
    // The subtitle languages ticked on the options page.
    QStringList chosenSubtitles() const;
    void offerVideos(const QList<PageVideo> &videos);
    QWidget *container(LayerPlan::Page page) const;
    void startEngines();
    void followAdapters();
    void refreshOldSnifferList();
    int selectedSniffedIndex() const;
    void ignoreOwnRequest(const QString &url);
    void withdrawOwnRequest(const QString &url);
    // wholeStream: the item is an HLS or DASH stream, saved as MP4 or MKV.
    QString selectSniffedSaveFile(const QString &extension, bool wholeStream);
    void pressButtonIcon(QPushButton *button, const QString &resource);
    void retireRecorder();
    // Removes the finished recording's temporary files once it was saved or given up.
    void removeRecording();
    // Every file of lastRecording in the temporary folder.
    QStringList recordingFiles() const;
    // Watches the recording's conversion and offers a recording an earlier run left unsaved.
    void initRecorder();

    std::unique_ptr<Ui::Sniffer> ui;
    std::unique_ptr<Ui::Navigation> navigation;
    std::unique_ptr<Ui::InsertURL> insertUrl;
    std::unique_ptr<Ui::Options> options;
    std::unique_ptr<Ui::Progress> progress;
    std::unique_ptr<Ui::Settings> settingsPage;
    std::unique_ptr<Ui::OldSniffer> oldSniffer;
    std::unique_ptr<Ui::DialogAbout> aboutForm;
    std::unique_ptr<QSettings> settingsObject;

    QString dataFolder;
    QString settingsPath;
    bool updateAsked = false;
    LayerPlan pageHeights;
    QHash<QWidget *, QStringList> widgetStyles;
    QTimer *iterationTimer = nullptr;
    bool urlFieldShown = false;
    int testUrlIndex = 0;
    // "yt_urls" or "os_urls": which kind of site the URL page takes; 2 or 1 accordingly.
    QString siteListName;
    int siteKind = 0;
    QList<MenuLink> helpLinks;
    QList<MenuLink> siteLinks;
    QPointer<QDialog> aboutDialog;

    std::unique_ptr<Downloader> downloader;
    DownloadQueue *queue = nullptr;
    QueuePanel *queuePanel = nullptr;
    // What the running list of queued downloads saved so far, for the box at its end.
    QStringList queueSaved;
    CookieSource cookieSource;
    QTimer *dotsTimer = nullptr;
    bool dotsRunning = false;
    ProgressAnimation::Dots dots;
    // Set when the lookup of the current address failed or was cancelled: its late replies are dropped.
    bool optionsDropped = false;
    // The formats offered, in the format list's row order; a single one is offered without a list.
    QList<FormatEntry> offeredFormats;
    // The name a download is kept under (the chosen name with the source container's extension) and the
    // conversion's target.
    QString downloadPath;
    QString targetFilePath;

    std::unique_ptr<CaptureMessageBoxes> captureMessages;
    bool oldSnifferOpened = false;
    SniffedList sniffedItems;
    QTimer *urlQueueTimer = nullptr;
    std::unique_ptr<CaptureEngines> engines;
    std::unique_ptr<SnifferKeyLog> keyLog;
    // The user chose a row of the sniffer's list, which new arrivals must leave selected.
    bool sniffedRowPicked = false;
    QTimer *adapterTimer = nullptr;
    // 4 after the video button, 5 after the audio button.
    int sniffedDownloadKind = 0;
    QPointer<QFileDialog> sniffedSaveDialog;
    QPushButton *pressedButton = nullptr;
    QString pressedIcon;
    bool iconRestored = true;

    QPointer<AVRecorder> recorder;
    // The last finished recording; its region is offered again when the recorder is reopened.
    AVRecorder::ResultingData lastRecording;
    bool hasLastRecording = false;
    // The conversion under way saves lastRecording to this file.
    QString recordingTarget;
    // What goes from the temporary folder once the save under way is complete.
    QStringList recordingSaved;
};
