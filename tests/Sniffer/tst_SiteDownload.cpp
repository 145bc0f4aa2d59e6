#include "DownloadQueue.h"
#include "Files.h"
#include "LocalHttpServer.h"
#include "MediaProbe.h"
#include "Modal.h"
#include "StreamSave.h"
#include "ToolRelease.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int toolTimeout = 60000;
constexpr double clipSeconds = 5.0;

// Writes an executable fake of the site-download tool and puts it in place of the real one.
class FakeTool final
{
public:
    explicit FakeTool(const QByteArray &script)
    {
        const QString path = folder.filePath(QStringLiteral("ytdl-fake"));
        writeFile(path, "#!/bin/sh\n" + script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("CORVANE_FAKE_YTDL", path.toLocal8Bit());
    }
    ~FakeTool() { qunsetenv("CORVANE_FAKE_YTDL"); }
    FakeTool(const FakeTool &) = delete;
    FakeTool &operator=(const FakeTool &) = delete;

private:
    QTemporaryDir folder;
};

// Answers the box that follows the recording dialog, once that dialog is gone.
void answerBoxAfter(QWidget *recording, QString &text)
{
    answerNextModal([recording, &text](QWidget *modal) {
        if (modal == recording) {
            return answerBoxAfter(recording, text);
        }
        text = qobject_cast<QMessageBox *>(modal)->text();
        qobject_cast<QDialog *>(modal)->done(0);
    });
}

bool shows(const WindowFixture &fixture, const char *page)
{
    return fixture.find<QWidget>(QLatin1String(page))->isVisible();
}

} // namespace

class tst_SiteDownload final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void downloadsThroughTheWindow_data();
    void downloadsThroughTheWindow();
    void secondAddressShowsOnlyItsOwnOptions();
    void progressShowsSizeSpeedAndTimeLeft();
    void liveStreamIsRecordedUntilStopped();
    void cancelling_data();
    void cancelling();
    void toolFailuresEndOnTheUrlPage_data();
    void toolFailuresEndOnTheUrlPage();
    void toolUpdate_data();
    void toolUpdate();

private:
    void process(const WindowFixture &fixture, const QString &path, bool enter);

    QTemporaryDir served;
    std::unique_ptr<LocalHttpServer> server;
};

void tst_SiteDownload::initTestCase()
{
    const QString ffmpeg = QStringLiteral("ffmpeg");
    QVERIFY(run(ffmpeg,
                { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                  QStringLiteral("-i"), QStringLiteral("testsrc=duration=5:size=320x240:rate=25"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=5"),
                  QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
                  QStringLiteral("yuv420p"), QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-movflags"),
                  QStringLiteral("+faststart"), QStringLiteral("clip.mp4") },
                served.path()));
    // Two variants behind a master playlist: the tool lists them with numeric codes.
    QVERIFY(run(ffmpeg,
                { QStringLiteral("-v"),
                  QStringLiteral("error"),
                  QStringLiteral("-i"),
                  QStringLiteral("clip.mp4"),
                  QStringLiteral("-filter_complex"),
                  QStringLiteral("[0:v]split=2[big][s];[s]scale=160:120[small]"),
                  QStringLiteral("-map"),
                  QStringLiteral("[big]"),
                  QStringLiteral("-map"),
                  QStringLiteral("0:a"),
                  QStringLiteral("-map"),
                  QStringLiteral("[small]"),
                  QStringLiteral("-map"),
                  QStringLiteral("0:a"),
                  QStringLiteral("-c:v"),
                  QStringLiteral("libx264"),
                  QStringLiteral("-b:v:0"),
                  QStringLiteral("500k"),
                  QStringLiteral("-b:v:1"),
                  QStringLiteral("200k"),
                  QStringLiteral("-c:a"),
                  QStringLiteral("aac"),
                  QStringLiteral("-f"),
                  QStringLiteral("hls"),
                  QStringLiteral("-hls_time"),
                  QStringLiteral("2"),
                  QStringLiteral("-hls_playlist_type"),
                  QStringLiteral("vod"),
                  QStringLiteral("-var_stream_map"),
                  QStringLiteral("v:0,a:0 v:1,a:1"),
                  QStringLiteral("-master_pl_name"),
                  QStringLiteral("master.m3u8"),
                  QStringLiteral("-hls_segment_filename"),
                  QStringLiteral("v%v_%03d.ts"),
                  QStringLiteral("v%v.m3u8") },
                served.path()));
    QVERIFY(run(ffmpeg, QString::fromLatin1("-v error -i clip.mp4 -vn -c:a copy sound.m4a").split(QLatin1Char(' ')),
                served.path()));
    const QByteArray walk = "<html><head><title>Harbour walk</title></head><body><video src=\"clip.mp4\"></video>";
    QVERIFY(writeFile(served.filePath(QStringLiteral("walk.html")), walk));
    QVERIFY(writeFile(served.filePath(QStringLiteral("slow.html")),
                      "<html><head><title>Slow walk</title></head><body><video src=\"clip.mp4?drip=3000\"></video>"));
    server = std::make_unique<LocalHttpServer>(served.path());
}

void tst_SiteDownload::process(const WindowFixture &fixture, const QString &path, bool enter)
{
    auto *field = fixture.find<QLineEdit>(QStringLiteral("inputURL"));
    field->setText(QStringLiteral("Have a look: ") + server->url(path));
    if (enter) {
        QTest::keyClick(field, Qt::Key_Return);
    } else {
        fixture.find<QPushButton>(QStringLiteral("btnProcessURL"))->click();
    }
}

void tst_SiteDownload::downloadsThroughTheWindow_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("streams");
    QTest::addColumn<bool>("sourceKept");

    const QStringList both { "audio", "video" };
    QTest::newRow("page, Enter, video as mkv")
        << "walk.html" << true << "Harbour walk (1)" << 0 << false << "Matroska (*.mkv)"
        << "mp4" << both << true;
    QTest::newRow("clip, audio as mp3") << "clip.mp4" << false << "clip" << 0 << true << "MP3 (*.mp3)"
                                        << "mp4" << QStringList { "audio" } << false;
    QTest::newRow("variants, video as mov") << "master.m3u8" << false << "master" << 3 << false << "QuickTime (*.mov)"
                                            << "mp4" << both << true;
    // The one button of a page of sound saves audio.
    QTest::newRow("m4a, the one button, as mp3") << "sound.m4a" << false << "sound" << 0 << false << "MP3 (*.mp3)"
                                                 << "m4a" << QStringList { "audio" } << false;
}

void tst_SiteDownload::downloadsThroughTheWindow()
{
    QFETCH(QString, path);
    QFETCH(bool, enter);
    QFETCH(int, rows);
    QFETCH(bool, audio);
    QFETCH(QString, filter);
    QFETCH(QString, source);
    WindowFixture fixture(localSiteSettings());
    const QString saved = fixture.home().path() + QStringLiteral("/Saved");
    QVERIFY(QDir().mkpath(saved));

    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, path, enter);
    QVERIFY(shows(fixture, "widgetProgress"));
    QTRY_VERIFY_WITH_TIMEOUT(shows(fixture, "widgetOptions"), toolTimeout);
    QTEST(fixture.find<QLabel>(QStringLiteral("lblTitle"))->text(), "title");
    auto *formats = fixture.find<QListWidget>(QStringLiteral("listFormats"));
    QCOMPARE(formats->isVisible(), rows > 0);
    QString chosenResolution;
    if (rows > 0) {
        QCOMPARE(formats->count(), rows);
        // Not the preselected row, the tool's last: the chosen row's own format must be the one fetched.
        QCOMPARE(formats->currentRow(), rows - 1);
        formats->setCurrentRow(1);
        chosenResolution = formats->currentItem()->text().section(QLatin1Char('\t'), 0, 0);
    }

    QSignalSpy percents(&fixture.window().downloadQueue(), &DownloadQueue::percent);
    QString completion;
    answerSaveDialog(saved + QStringLiteral("/My clip"), filter, [&completion] { answerBox(completion); });
    fixture.find<QPushButton>(audio ? QStringLiteral("btnDownloadAudio") : QStringLiteral("btnDownloadVideo"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), toolTimeout);
    QTRY_VERIFY(shows(fixture, "widgetInsertURL"));

    float highest = 0;
    for (const QList<QVariant> &emitted : std::as_const(percents)) {
        highest = std::max(highest, emitted.constFirst().toFloat());
    }
    QCOMPARE(highest, 100.0F);
    const QString extension = filter.section(QStringLiteral("*."), 1).chopped(1);
    const MediaProbe result = probeMedia(saved + QStringLiteral("/My clip.") + extension);
    QTEST(result.streams, "streams");
    QVERIFY2(qAbs(result.duration - clipSeconds) <= 0.3, qPrintable(QString::number(result.duration)));
    if (rows > 0) {
        QCOMPARE(result.resolution, chosenResolution);
    }
    QTEST(QFile::exists(saved + QStringLiteral("/My clip.") + source), "sourceKept");
}

void tst_SiteDownload::secondAddressShowsOnlyItsOwnOptions()
{
    WindowFixture fixture(localSiteSettings());
    auto *optionsPage = fixture.find<QWidget>(QStringLiteral("widgetOptions"));
    auto *title = fixture.find<QLabel>(QStringLiteral("lblTitle"));
    auto *formats = fixture.find<QListWidget>(QStringLiteral("listFormats"));
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, QStringLiteral("master.m3u8"), false);
    QTRY_VERIFY_WITH_TIMEOUT(optionsPage->isVisible(), toolTimeout);
    QCOMPARE(title->text(), QStringLiteral("master"));
    QCOMPARE(formats->count(), 3);

    // What the page shows at the moment it appears, whichever reply comes first.
    QStringList seen;
    QObject watcher;
    const auto look = [&] {
        if (optionsPage->isVisible() && seen.isEmpty()) {
            seen = { title->text(), QString::number(formats->isVisible() ? formats->count() : 0) };
        }
    };
    connect(&fixture.window().siteDownloader(), &Downloader::haveTitle, &watcher, look, Qt::QueuedConnection);
    connect(&fixture.window().siteDownloader(), &Downloader::haveFormats, &watcher, look, Qt::QueuedConnection);
    fixture.find<QPushButton>(QStringLiteral("btnBack"))->click();
    process(fixture, QStringLiteral("walk.html"), true);
    QVERIFY(!optionsPage->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(optionsPage->isVisible(), toolTimeout);
    QTRY_VERIFY(!seen.isEmpty());
    QCOMPARE(seen, (QStringList { QStringLiteral("Harbour walk (1)"), QStringLiteral("0") }));
}

void tst_SiteDownload::progressShowsSizeSpeedAndTimeLeft()
{
    WindowFixture fixture(localSiteSettings());
    const QString saved = fixture.home().path() + QStringLiteral("/Slow walk.mp4");
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, QStringLiteral("slow.html"), false);
    QTRY_VERIFY_WITH_TIMEOUT(shows(fixture, "widgetOptions"), toolTimeout);
    QString completion;
    answerSaveDialog(saved, QStringLiteral("MPEG-4 (*.mp4)"), [&completion] { answerBox(completion); });
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    auto *transfer = fixture.find<QLabel>(QStringLiteral("lblTransfer"));
    static const QRegularExpression figures(
        QStringLiteral("^[0-9.]+ [KM]?B(ytes)? of [0-9.]+ [KM]?B, [0-9.]+ [KM]?B(ytes)?/s, "
                       "[0-9]+ (sec|min)( [0-9]+ sec)? left$"));
    QTRY_VERIFY_WITH_TIMEOUT(figures.match(transfer->text()).hasMatch() && transfer->isVisible(), toolTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), toolTimeout);
    QVERIFY(QFileInfo(saved).size() > 0);
}

void tst_SiteDownload::liveStreamIsRecordedUntilStopped()
{
    // A live playlist written in real time, each segment a second long.
    QTemporaryDir live(served.filePath(QStringLiteral("liveXXXXXX")));
    QProcess broadcast;
    broadcast.setWorkingDirectory(live.path());
    broadcast.start(QStringLiteral("ffmpeg"),
                    QString::fromLatin1("-v error -re -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine -t 120 "
                                        "-c:v libx264 -preset ultrafast -g 25 -c:a aac -f hls -hls_time 1 "
                                        "-hls_list_size 5 live.m3u8")
                        .split(QLatin1Char(' ')));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(live.filePath(QStringLiteral("live.m3u8"))), toolTimeout);
    WindowFixture fixture(localSiteSettings());
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, QDir(live.path()).dirName() + QStringLiteral("/live.m3u8"), false);
    QTRY_VERIFY_WITH_TIMEOUT(shows(fixture, "widgetOptions"), toolTimeout);
    QCOMPARE(fixture.find<QLabel>(QStringLiteral("lblDLLength"))->text(), QStringLiteral("live"));

    const QString saved = fixture.home().path() + QStringLiteral("/On air.mp4");
    QString completion;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        dialog->selectNameFilter(QStringLiteral("MPEG-4 (*.mp4)"));
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(saved);
        // Stopped once a few seconds are in.
        answerNextModal([&completion](QWidget *recording) {
            const auto *save = recording->findChild<StreamSave *>();
            if (save == nullptr) { // downloaded, not recorded
                return qobject_cast<QDialog *>(recording)->done(0);
            }
            QObject::connect(save, &StreamSave::progress, recording, [recording, &completion](double seconds) {
                auto *stop = recording->findChild<QPushButton *>(QStringLiteral("pbCancel"));
                if (seconds >= 4 && stop->isEnabled()) {
                    stop->click();
                    answerBoxAfter(recording, completion);
                }
            });
        });
        static_cast<QDialog *>(dialog)->accept();
    });
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), toolTimeout);
    const MediaProbe result = probeMedia(saved);
    QCOMPARE(result.streams, (QStringList { QStringLiteral("audio"), QStringLiteral("video") }));
    QVERIFY2(result.duration >= 3, qPrintable(QString::number(result.duration)));
}

void tst_SiteDownload::cancelling_data()
{
    QTest::addColumn<bool>("duringDownload");
    QTest::addColumn<bool>("updateFirst");
    QTest::newRow("while the page is read") << false << false;
    QTest::newRow("while the file arrives") << true << false;
    QTest::newRow("after Ctrl+U in the download") << true << true;
}

// Cancel leads to the main page and stays there; a cancelled download leaves nothing behind.
void tst_SiteDownload::cancelling()
{
    QFETCH(bool, duringDownload);
    QFETCH(bool, updateFirst);
    WindowFixture fixture(localSiteSettings());
    Downloader &driver = fixture.window().siteDownloader();
    QSignalSpy titles(&driver, &Downloader::haveTitle);
    QSignalSpy formats(&driver, &Downloader::haveFormats);
    QSignalSpy percents(&fixture.window().downloadQueue(), &DownloadQueue::percent);
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, QStringLiteral("clip.mp4?drip=2000"), false);
    const QString file = fixture.home().path() + QStringLiteral("/slow");
    if (duringDownload) {
        QTRY_VERIFY_WITH_TIMEOUT(shows(fixture, "widgetOptions"), toolTimeout);
        answerNextModal([file](QWidget *modal) {
            modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
            static_cast<QDialog *>(modal)->accept();
        });
        fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(percents.count() > 1, toolTimeout);
    }
    if (updateFirst) {
        // The update waits: the download's page and its Cancel stay.
        QString shown;
        answerBox(shown);
        fixture.window().updateSniffer();
        QVERIFY2(shown.contains(QStringLiteral("busy")), qPrintable(shown));
        QVERIFY(fixture.find<QPushButton>(QStringLiteral("btnCloseProgress"))->isVisible());
        QVERIFY(fixture.window().downloadQueue().shownRow() >= 0);
    }
    fixture.find<QPushButton>(QStringLiteral("btnCloseProgress"))->click();
    QCOMPARE(fixture.window().height(), 60);

    // The tools are gone at once: nothing of theirs arrives later, and nothing is left in the folder.
    QVERIFY(!driver.isBusy());
    QCOMPARE(fixture.window().downloadQueue().rowCount(), 0);
    QSignalSpy errors(&driver, &Downloader::hasError);
    QTRY_VERIFY_WITH_TIMEOUT(childrenEnded(), toolTimeout);
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 0);
    QCOMPARE(titles.count() + formats.count(), duringDownload ? 2 : 0);
    QCOMPARE(
        QDir(fixture.home().path())
            .entryList({ QStringLiteral("slow*"), QStringLiteral(".corvane-save-*") }, QDir::AllEntries | QDir::Hidden),
        QStringList());
    QCOMPARE(fixture.window().height(), 60);
    QVERIFY(!shows(fixture, "widgetOptions"));
}

void tst_SiteDownload::toolFailuresEndOnTheUrlPage_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("atDownload");
    QTest::addColumn<QString>("message");
    QTest::newRow("page cannot be read") << QByteArray("echo 'ERROR: Unsupported URL' >&2\nexit 1\n") << false
                                         << "could not be read.";
    QTest::newRow("tool crashes") << QByteArray("kill -SEGV $$\n") << false << "could not be started";
    QTest::newRow("download fails") << QByteArray("case \"$*\" in\n"
                                                  "*--dump-single-json*) echo '{\"title\": \"Walk\", "
                                                  "\"formats\": [{\"format_id\": \"18\", \"ext\": \"mp4\"}]}' ;;\n"
                                                  "*) echo 'ERROR: unable to download' >&2; exit 1 ;;\n"
                                                  "esac\n")
                                    << true << "could not be downloaded";
}

void tst_SiteDownload::toolFailuresEndOnTheUrlPage()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, atDownload);
    const FakeTool fake(script);
    WindowFixture fixture(localSiteSettings());
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();

    QString shown;
    if (atDownload) {
        process(fixture, QStringLiteral("walk.html"), false);
        QTRY_VERIFY_WITH_TIMEOUT(shows(fixture, "widgetOptions"), toolTimeout);
        answerSaveDialog(fixture.home().path() + QStringLiteral("/clip"), QStringLiteral("MPEG-4 (*.mp4)"),
                         [&shown] { answerBox(shown); });
        fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    } else {
        answerBox(shown);
        process(fixture, QStringLiteral("walk.html"), false);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), toolTimeout);
    QFETCH(QString, message);
    QVERIFY2(shown.contains(message), qPrintable(shown));
    // The tool's own words on what went wrong reach the user.
    const qsizetype words = script.indexOf("ERROR:");
    if (words >= 0) {
        QVERIFY2(shown.contains(QString::fromLatin1(script.mid(words, script.indexOf('\'', words) - words))),
                 qPrintable(shown));
    }
    QVERIFY(shows(fixture, "widgetInsertURL"));
    QVERIFY(!shows(fixture, "widgetProgress"));
}

void tst_SiteDownload::toolUpdate_data()
{
    QTest::addColumn<bool>("daily");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("toldBefore");
    QTest::addColumn<QString>("box");
    QTest::newRow("Ctrl+U, updated") << false << true << false << "Corvane 2 2099.01.02 is up-to-date";
    QTest::newRow("daily, updated") << true << true << false << "Corvane 2 2099.01.02 is up-to-date";
    // Asked for, a failure is reported every time, its cause below the message.
    QTest::newRow("Ctrl+U, offline") << false << false << true << "The site-download tool could not be updated.";
    QTest::newRow("daily, offline: said once") << true << false << false << "Corvane 2 is using the yt-dlp installed";
    QTest::newRow("daily, offline, said before") << true << false << true << QString();
}

void tst_SiteDownload::toolUpdate()
{
    QFETCH(bool, daily);
    QFETCH(bool, online);
    QFETCH(bool, toldBefore);
    QFETCH(QString, box);
    const FakeRelease release;
    QByteArray settings
        = withToolRelease(WindowFixture::deliveredSettings(), online ? release.server.url({}) : unreachableRelease);
    settings += toldBefore ? "\n[General]\nsystem_tool_noted=true\n" : "";
    QString shown;
    if (!box.isEmpty()) {
        answerBox(shown);
    }
    const WindowFixture fixture(daily ? settings : updatedToday(settings));
    Sniffer &window = fixture.window();
    QSignalSpy kept(&window.siteDownloader(), &Downloader::systemToolKept);
    if (!daily) {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_U, Qt::ControlModifier);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty() || kept.count() == 1, toolTimeout);
    QVERIFY2(shown.startsWith(box), qPrintable(shown));
    QVERIFY2(online || shown.contains(QStringLiteral("Connection refused")) == !box.isEmpty(), qPrintable(shown));
    QCOMPARE(window.windowTitle(), online ? "Corvane 2 (2099.01.02)" : "Corvane 2 (last) (2.0.0.299)");
    QCOMPARE(window.settings().value(QStringLiteral("last_update_v"), QStringLiteral("last")).toString(),
             online ? FakeRelease::version : "last");
    QVERIFY(window.settings().value(QStringLiteral("system_tool_noted"), false).toBool() == (toldBefore || !online));
    const bool failed = !daily && !online;
    QCOMPARE(shows(fixture, "widgetInsertURL"), failed);
    QCOMPARE(window.height(), failed ? 176 : 60);
    QCOMPARE(window.settings().value(QStringLiteral("last_update")).toInt(), QDate::currentDate().dayOfYear());
}

QTEST_MAIN(tst_SiteDownload)
#include "tst_SiteDownload.moc"
