#include "CVideoSniffer.h"
#include "Files.h"
#include "FullDisk.h"
#include "LocalHttpServer.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int clipSize = 150000;

QByteArray clipBytes()
{
    QByteArray bytes(clipSize, '\0');
    for (int i = 0; i < clipSize; ++i) {
        bytes[i] = static_cast<char>(i * 7 % 251);
    }
    return bytes;
}

// Opens the sniffer page; a machine without a usable adapter answers with a box, which is closed here.
void openSnifferPage(const WindowFixture &fixture)
{
    if (CVideoSniffer::listInterfaces().isEmpty()) {
        answerNextModal([](QWidget *modal) { static_cast<QDialog *>(modal)->accept(); });
    }
    fixture.find<QPushButton>(QStringLiteral("btnSniffer"))->click();
}

// Stands in for the desktop's browser.
class BrowserStandIn final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

// What a capture engine hands over for a request to the local server.
void report(const LocalHttpServer &server, const QString &name, const QByteArray &type, int size = clipSize)
{
    const QByteArray address = "127.0.0.1:" + QByteArray::number(server.port());
    Sniffer::queueSniffReport(address + '/' + name.toLatin1(),
                              "GET /" + name.toLatin1() + " HTTP/1.1\r\nHost: " + address + "\r\n\r\n",
                              QByteArray::number(size) + "\r\n", type, {});
}

void saveAs(const QString &name)
{
    answerNextModal([name](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog *>(dialog)->accept();
    });
}

// Answers the next count message boxes (Yes where asked, else OK), noting their texts; other modal windows
// are left alone.
void answerBoxes(int count, QStringList *texts)
{
    answerNextModal([count, texts](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box != nullptr) {
            texts->append(box->text());
            box->button(box->button(QMessageBox::Yes) != nullptr ? QMessageBox::Yes : QMessageBox::Ok)->click();
        }
        if (count > (box != nullptr ? 1 : 0)) {
            answerBoxes(count - (box != nullptr ? 1 : 0), texts);
        }
    });
}

} // namespace

class tst_OldSniffer final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void reportIsListedOnTop();
    void savesThroughTheProgressDialog_data();
    void savesThroughTheProgressDialog();
    void removeTakesTheSelectedRow();
    void selfTestOpensTheTestPageBesideTheList();
    void audioSaveNeverReplacesAnMp3Unasked();
    void failureSaysWhyAndLetsGo_data();
    void failureSaysWhyAndLetsGo();

private:
    QTemporaryDir served;
};

void tst_OldSniffer::initTestCase()
{
    QVERIFY(writeFile(served.filePath(QStringLiteral("clip.mp4")), clipBytes()));
    QVERIFY(writeFile(served.filePath(QStringLiteral("tune.mp3")), clipBytes().left(40000)));
    // A stream with sound, for the audio save to extract.
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(served.path());
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                   QStringLiteral("-i"), QStringLiteral("testsrc=duration=2:size=320x240"), QStringLiteral("-f"),
                   QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=2"),
                   QStringLiteral("-b:v"), QStringLiteral("2M"), QStringLiteral("clip.flv") });
    QVERIFY(ffmpeg.waitForFinished(60000));
    QCOMPARE(ffmpeg.exitCode(), 0);
}

void tst_OldSniffer::reportIsListedOnTop()
{
    WindowFixture fixture(updatedToday());
    const LocalHttpServer server(served.path());
    openSnifferPage(fixture);
    QVERIFY(fixture.find<QWidget>(QStringLiteral("widgetOldSniffer"))->isVisible());

    auto *list = fixture.find<QListWidget>(QStringLiteral("mediaList"));
    report(server, QStringLiteral("clip.mp4"), "mp4\r\n");
    QTRY_COMPARE(list->count(), 1);
    QCOMPARE(list->currentRow(), 0);
    report(server, QStringLiteral("www.youtube.com/clip"), "x-flv\r\n", 2 * clipSize);
    QTRY_COMPARE(list->count(), 2);
    QVERIFY(list->item(0)->text().startsWith(QStringLiteral("2. ")));
    QCOMPARE(list->item(0)->toolTip(), QStringLiteral("http://127.0.0.1:%1/www.youtube.com/clip").arg(server.port()));
    // Until the user picks a row the newest is selected; a picked row stays picked when others arrive.
    QCOMPARE(list->currentRow(), 0);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QVERIFY(!fixture.find<QPushButton>(QStringLiteral("pbPreview"))->isEnabled());
    report(server, QStringLiteral("b.mp4"), "mp4\r\n", clipSize + 1);
    QTRY_COMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), 1);
}

void tst_OldSniffer::savesThroughTheProgressDialog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("audio");
    QTest::newRow("video") << QStringLiteral("pbDownloadVideo") << QStringLiteral("clip.mp4") << QByteArray("mp4\r\n")
                           << QStringLiteral("My Clip.mp4") << false;
    QTest::newRow("audio") << QStringLiteral("pbDownloadAudio") << QStringLiteral("clip.flv") << QByteArray("x-flv\r\n")
                           << QStringLiteral("My Clip.flv") << true;
}

void tst_OldSniffer::savesThroughTheProgressDialog()
{
    QFETCH(QString, button);
    QFETCH(QString, clip);
    QFETCH(QByteArray, type);
    QFETCH(QString, saved);
    QFETCH(bool, audio);

    WindowFixture fixture(updatedToday());
    const LocalHttpServer server(served.path());
    const QString target = fixture.home().path() + QStringLiteral("/Saved");
    QVERIFY(QDir().mkpath(target));
    fixture.find<QLineEdit>(QStringLiteral("pathVideo"))->setText(target);
    fixture.find<QLineEdit>(QStringLiteral("pathAudio"))->setText(target);
    openSnifferPage(fixture);
    auto *list = fixture.find<QListWidget>(QStringLiteral("mediaList"));
    const QByteArray bytes = readFile(served.filePath(clip));
    report(server, clip, type, int(bytes.size()));
    QTRY_COMPARE(list->count(), 1);

    QSignalSpy finished(&fixture.window(), &Sniffer::downloadFinished);
    saveAs(QStringLiteral("My Clip"));
    fixture.find<QPushButton>(button)->click();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(readFile(target + QLatin1Char('/') + saved), bytes);
    if (!audio) {
        QCOMPARE(QDir(target).entryList(QDir::Files), QStringList { saved });
        return;
    }

    // The sound is extracted into an MP3 beside the saved stream, and the sniffer page comes back.
    QString completion;
    answerNextModal([&completion](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        completion = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), 30000);
    const QByteArray mp3 = readFile(target + QStringLiteral("/My Clip.mp3"));
    QVERIFY(mp3.startsWith("ID3"));
    QVERIFY(fixture.find<QWidget>(QStringLiteral("widgetOldSniffer"))->isVisible());
}

void tst_OldSniffer::removeTakesTheSelectedRow()
{
    WindowFixture fixture(updatedToday());
    const LocalHttpServer server(served.path());
    openSnifferPage(fixture);
    auto *list = fixture.find<QListWidget>(QStringLiteral("mediaList"));
    report(server, QStringLiteral("a.mp4"), "mp4\r\n");
    report(server, QStringLiteral("b.mp4"), "mp4\r\n", clipSize + 1);
    QTRY_COMPARE(list->count(), 2);

    list->setCurrentRow(1);
    fixture.find<QPushButton>(QStringLiteral("pbRemove"))->click();
    QCOMPARE(list->count(), 1);
    QVERIFY(list->item(0)->text().startsWith(QStringLiteral("2. ")));
    fixture.find<QPushButton>(QStringLiteral("pbRemove"))->click();
    QCOMPARE(list->count(), 0);
    QVERIFY(!fixture.find<QPushButton>(QStringLiteral("pbDownloadVideo"))->isEnabled());
}

void tst_OldSniffer::selfTestOpensTheTestPageBesideTheList()
{
    WindowFixture fixture(updatedToday());
    // Never opened for real: the stand-in takes it.
    BrowserStandIn browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
    if (CVideoSniffer::listInterfaces().isEmpty()) {
        answerNextModal([](QWidget *modal) { static_cast<QDialog *>(modal)->accept(); });
    }
    fixture.window().testSniffer();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

    QCOMPARE(browser.opened.size(), 1);
    QCOMPARE(browser.opened.constFirst().path(), QStringLiteral("/gtv-videos-bucket/sample/BigBuckBunny.mp4"));
    auto *page = fixture.find<QWidget>(QStringLiteral("widgetOldSniffer"));
    QVERIFY(page->isVisible());
    QCOMPARE(page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 1);
}

void tst_OldSniffer::audioSaveNeverReplacesAnMp3Unasked()
{
    WindowFixture fixture(updatedToday());
    const LocalHttpServer server(served.path());
    const QString target = fixture.home().path() + QStringLiteral("/Saved");
    QVERIFY(QDir().mkpath(target));
    const QString kept = target + QStringLiteral("/song.mp3");
    QVERIFY(writeFile(kept, "an earlier song"));
    fixture.find<QLineEdit>(QStringLiteral("pathAudio"))->setText(target);
    openSnifferPage(fixture);
    auto *list = fixture.find<QListWidget>(QStringLiteral("mediaList"));
    report(server, QStringLiteral("clip.mp4"), "mp4\r\n");
    QTRY_COMPARE(list->count(), 1);

    QString asked;
    answerNextModal([&asked](QWidget *modal) {
        static_cast<QFileDialog *>(modal)
            ->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("song"));
        answerNextModal([&asked](QWidget *question) {
            auto *box = qobject_cast<QMessageBox *>(question);
            QVERIFY(box != nullptr);
            asked = box->text();
            box->button(QMessageBox::No)->click();
        });
        static_cast<QDialog *>(modal)->accept();
    });
    fixture.find<QPushButton>(QStringLiteral("pbDownloadAudio"))->click();

    QVERIFY2(asked.contains(QStringLiteral("song.mp3")), qPrintable(asked));
    QCOMPARE(readFile(kept), QByteArray("an earlier song"));
    QCOMPARE(QDir(target).entryList(QDir::Files), QStringList { QStringLiteral("song.mp3") });
}

void tst_OldSniffer::failureSaysWhyAndLetsGo_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("lastBox");
    QTest::newRow("save fails") << QStringLiteral("pbDownloadVideo") << QStringLiteral("missing.mp4")
                                << QStringLiteral("Download canceled.");
    QTest::newRow("MP3 copy fails") << QStringLiteral("pbDownloadAudio") << QStringLiteral("tune.mp3")
                                    << QStringLiteral("audio copy");
    QTest::newRow("no player") << QStringLiteral("pbPreview") << QStringLiteral("clip.mp4") << QStringLiteral("ffplay");
}

void tst_OldSniffer::failureSaysWhyAndLetsGo()
{
    QFETCH(QString, button);
    QFETCH(QString, clip);
    QFETCH(QString, lastBox);

    WindowFixture fixture(updatedToday());
    const QString folder = fixture.home().path() + QStringLiteral("/Saved");
    QVERIFY(QDir().mkpath(folder));
    // Room for a saved stream, not for its copy.
    const FullDisk disk(folder);
    if (!disk.mounted) {
        QSKIP("mounting a tmpfs needs root");
    }
    QVERIFY(writeFile(folder + QStringLiteral("/song.mp3"), "an earlier song"));
    fixture.find<QLineEdit>(QStringLiteral("pathAudio"))->setText(folder);
    const LocalHttpServer server(served.path());
    openSnifferPage(fixture);
    report(server, clip, clip.endsWith(QStringLiteral(".mp3")) ? "MP3" : "mp4\r\n");
    QTRY_COMPARE(fixture.find<QListWidget>(QStringLiteral("mediaList"))->count(), 1);

    // A failed save shows the server's error, then that it was not saved; the audio save asks to replace.
    const int boxCount = button == QStringLiteral("pbPreview") ? 1 : 2;
    QStringList boxes;
    answerBoxes(boxCount, &boxes);
    if (boxCount == 2) {
        // The item is saved as typed; its ".mp3" companion is the file that may not be written.
        saveAs(QStringLiteral("song.MP3"));
    }
    fixture.find<QPushButton>(button)->click();
    QTRY_COMPARE(boxes.size(), boxCount);
    QVERIFY2(boxes.constLast().contains(lastBox), qPrintable(boxes.constLast()));
    QCOMPARE(readFile(folder + QStringLiteral("/song.mp3")), QByteArray("an earlier song"));
    // The next real report of the address must be listed again.
    const QByteArray reported = "127.0.0.1:" + QByteArray::number(server.port()) + '/' + clip.toLatin1();
    for (const auto &engine : fixture.window().captureEngines()) {
        QVERIFY(!engine->takeIgnoredUrl(reported));
    }
}

QTEST_MAIN(tst_OldSniffer)
#include "tst_OldSniffer.moc"
