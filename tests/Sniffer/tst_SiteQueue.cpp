#include "DownloadQueue.h"
#include "Files.h"
#include "LocalHttpServer.h"
#include "MediaProbe.h"
#include "Modal.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int toolTimeout = 60000;
// The run that is killed learns where it works from these.
const char *const victimHome = "CORVANE_VICTIM_HOME";
const char *const victimServer = "CORVANE_VICTIM_SERVER";

void process(const WindowFixture &fixture, const QString &url)
{
    fixture.find<QLineEdit>(QStringLiteral("inputURL"))->setText(url);
    fixture.find<QPushButton>(QStringLiteral("btnProcessURL"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(fixture.find<QWidget>(QStringLiteral("widgetOptions"))->isVisible(), toolTimeout);
}

QStringList hiddenFolders(const QString &home)
{
    return QDir(home).entryList({ QStringLiteral(".corvane-save-*") }, QDir::AllEntries | QDir::Hidden);
}

bool downloadArriving(const QString &home)
{
    for (const QString &folder : hiddenFolders(home)) {
        for (QDirIterator part(QDir(home).filePath(folder), { QStringLiteral("*.part") }, QDir::Files);
             part.hasNext();) {
            if (part.nextFileInfo().size() > 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

class tst_SiteQueue final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void severalVideosSaveTheTicked_data();
    void severalVideosSaveTheTicked();
    void endingQueueLeavesTheUserWhereTheyAre();
    void queueOutlivesAKill_data();
    void queueOutlivesAKill();
    void victim();

private:
    QTemporaryDir served;
    std::unique_ptr<LocalHttpServer> server;
};

void tst_SiteQueue::initTestCase()
{
    QVERIFY(run(QStringLiteral("ffmpeg"),
                QString::fromLatin1("-v error -f lavfi -i testsrc=duration=5:size=320x240:rate=25 -f lavfi -i "
                                    "sine=duration=5 -c:v libx264 -pix_fmt yuv420p -c:a aac clip.mp4")
                    .split(QLatin1Char(' ')),
                served.path()));
    QVERIFY(writeFile(served.filePath(QStringLiteral("three.html")),
                      "<html><head><title>Three walks</title></head><body><video src=\"clip.mp4?n=1\"></video>"
                      "<video src=\"clip.mp4?n=2\"></video><video src=\"clip.mp4?n=3\"></video></body></html>"));
    // Links the site-download tool does not follow.
    for (const char *name : { "one.mp4", "two.mp4", "three.mp4" }) {
        QVERIFY(QFile::copy(served.filePath(QStringLiteral("clip.mp4")), served.filePath(QLatin1String(name))));
    }
    QVERIFY(writeFile(served.filePath(QStringLiteral("links.html")),
                      "<html><body><a href=\"one.mp4\">1</a> <a href=\"/two.mp4\">2</a> <a href=\"three.mp4\">3</a>"
                      "<a href=\"links.html\">again</a></body></html>"));
    server = std::make_unique<LocalHttpServer>(served.path());
}

void tst_SiteQueue::severalVideosSaveTheTicked_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("saved");
    QTest::newRow("videos of a page") << "three.html" << QStringList { "Three walks (1).mkv", "Three walks (3).mkv" };
    QTest::newRow("links to files") << "links.html" << QStringList { "one.mkv", "three.mkv" };
}

void tst_SiteQueue::severalVideosSaveTheTicked()
{
    QFETCH(QString, page);
    WindowFixture fixture(localSiteSettings());
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, server->url(page));
    auto *videos = fixture.find<QListWidget>(QStringLiteral("listVideos"));
    QVERIFY(videos->isVisible());
    QCOMPARE(videos->count(), 3);
    for (int row = 0; row < videos->count(); ++row) {
        QCOMPARE(videos->item(row)->checkState(), Qt::Checked);
    }
    videos->item(1)->setCheckState(Qt::Unchecked);

    QString completion;
    QString savedAs;
    answerSaveDialog(fixture.home().path() + QStringLiteral("/any name"), QStringLiteral("Matroska (*.mkv)"),
                     [&completion, &savedAs] { answerBox(completion, &savedAs); });
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), toolTimeout);
    QFETCH(QStringList, saved);
    QCOMPARE(QDir(fixture.home().path()).entryList({ QStringLiteral("*.mkv") }, QDir::Files, QDir::Name), saved);
    QVERIFY2(savedAs.contains(saved.constFirst()) && savedAs.contains(saved.constLast()), qPrintable(savedAs));
    const MediaProbe third = probeMedia(fixture.home().path() + QLatin1Char('/') + saved.constLast());
    QCOMPARE(third.streams, (QStringList { QStringLiteral("audio"), QStringLiteral("video") }));
}

// The last download ends while the user is choosing how to save the next address: the box says so, and the
// choice stays on screen.
void tst_SiteQueue::endingQueueLeavesTheUserWhereTheyAre()
{
    LocalHttpServer slow(served.path());
    WindowFixture fixture(localSiteSettings());
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    process(fixture, slow.url(QStringLiteral("clip.mp4?drip=100")));
    answerSaveDialog(fixture.home().path() + QStringLiteral("/first"), QStringLiteral("MPEG-4 (*.mp4)"));
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    fixture.find<QPushButton>(QStringLiteral("btnAddAddress"))->click();
    process(fixture, slow.url(QStringLiteral("clip.mp4?n=2")));

    QString completion;
    answerBox(completion);
    slow.stopDripping();
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), toolTimeout);
    QVERIFY(fixture.find<QWidget>(QStringLiteral("widgetOptions"))->isVisible());

    // What is saved from there starts a list of its own.
    answerSaveDialog(fixture.home().path() + QStringLiteral("/second"), QStringLiteral("MPEG-4 (*.mp4)"));
    fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    QCOMPARE(fixture.window().downloadQueue().rowCount(), 1);
}

// Three addresses queued through the window while the first arrives slowly; the program is killed during that
// download. The next start offers the queue again, which resumes that download and runs them one at a time, or two
// at once when the settings say so, and nothing the kill left stays behind.
void tst_SiteQueue::queueOutlivesAKill_data()
{
    QTest::addColumn<int>("atOnce");
    QTest::newRow("one at a time") << 1;
    QTest::newRow("two at once") << 2;
}

void tst_SiteQueue::queueOutlivesAKill()
{
    QFETCH(int, atOnce);
    LocalHttpServer slow(served.path());
    QTemporaryDir home;
    QProcess killed;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(victimHome), home.path());
    environment.insert(QLatin1String(victimServer), slow.url({}));
    killed.setProcessEnvironment(environment);
    killed.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    killed.start(QCoreApplication::applicationFilePath(), { QStringLiteral("victim") });
    const QString queueFile = home.path() + QStringLiteral("/AppData/Corvane 2/queue.json");
    QTRY_VERIFY_WITH_TIMEOUT(DownloadQueue::stored(queueFile).size() == 3 && downloadArriving(home.path()),
                             3 * toolTimeout);
    killed.kill();
    QVERIFY(killed.waitForFinished());
    QVERIFY(!hiddenFolders(home.path()).isEmpty());

    slow.stopDripping();
    QString offer;
    QString completion;
    answerNextModal([&offer, &completion](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        offer = box->text();
        answerBox(completion);
        box->findChild<QPushButton *>(QStringLiteral("resumeQueue"))->click();
    });
    WindowFixture fixture(localSiteSettings() + "parallel_downloads=" + QByteArray::number(atOnce) + '\n', home.path());
    DownloadQueue &queue = fixture.window().downloadQueue();
    QStringList saved;
    int mostAtOnce = 0;
    bool allRowsShown = false;
    auto *view = fixture.find<QTableView>(QStringLiteral("queueView"));
    connect(&queue, &DownloadQueue::dataChanged, this, [&queue, &saved, &mostAtOnce, &allRowsShown, view] {
        allRowsShown = allRowsShown || view->viewport()->rect().contains(view->visualRect(queue.index(2, 0)));
        int running = 0;
        for (int row = 0; row < queue.rowCount(); ++row) {
            const QueueEntry &entry = queue.entry(row);
            running += entry.state == QueueEntry::State::Downloading || entry.state == QueueEntry::State::Converting;
            if (entry.state == QueueEntry::State::Saved && !saved.contains(entry.title)) {
                saved.append(entry.title);
            }
        }
        mostAtOnce = std::max(mostAtOnce, running);
    });
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), 3 * toolTimeout);
    QVERIFY2(offer.contains(QStringLiteral("first\nsecond\nthird")), qPrintable(offer));
    // One at a time keeps the order they were queued in.
    if (atOnce > 1) {
        saved.sort();
    }
    QCOMPARE(saved, (QStringList { QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third") }));
    QCOMPARE(mostAtOnce, atOnce);
    QVERIFY(allRowsShown);
    QCOMPARE(slow.resumedAnswers(), 1);
    for (const QString &name : std::as_const(saved)) {
        QCOMPARE(probeMedia(home.path() + QLatin1Char('/') + name + QStringLiteral(".mp4")).streams.size(), 2);
    }
    QCOMPARE(hiddenFolders(home.path()), QStringList());
    QCOMPARE(DownloadQueue::stored(queueFile).size(), 0);
}

// The run queueOutlivesAKill kills: it queues three addresses, the first of them slow, and waits.
void tst_SiteQueue::victim()
{
    const QString home = qEnvironmentVariable(victimHome);
    if (home.isEmpty()) {
        QSKIP("the run that queueOutlivesAKill kills");
    }
    const QString address = qEnvironmentVariable(victimServer);
    WindowFixture fixture(localSiteSettings(), home);
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    const QList<std::pair<QString, QString>> downloads { { QStringLiteral("first"),
                                                           QStringLiteral("clip.mp4?drip=100") },
                                                         { QStringLiteral("second"), QStringLiteral("clip.mp4?n=2") },
                                                         { QStringLiteral("third"), QStringLiteral("clip.mp4?n=3") } };
    for (const auto &[name, path] : downloads) {
        if (name != downloads.constFirst().first) {
            fixture.find<QPushButton>(QStringLiteral("btnAddAddress"))->click();
        }
        process(fixture, address + path);
        answerSaveDialog(home + QLatin1Char('/') + name, QStringLiteral("MPEG-4 (*.mp4)"));
        fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
        QTRY_VERIFY(fixture.find<QWidget>(QStringLiteral("widgetProgress"))->isVisible());
    }
    QEventLoop().exec();
}

QTEST_MAIN(tst_SiteQueue)
#include "tst_SiteQueue.moc"
