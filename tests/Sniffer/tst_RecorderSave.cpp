#include "Files.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Box
{
    QString title;
    QString text;
};

// Answers the save dialog with a path and filter, then notes the box that follows.
void answerSaveThenBox(const QString &path, const QString &filter, Box &seen)
{
    answerNextModal([path, filter, &seen](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        dialog->selectNameFilter(filter);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        answerNextModal([&seen](QWidget *next) {
            auto *box = qobject_cast<QMessageBox *>(next);
            QVERIFY(box != nullptr);
            seen = { box->windowTitle(), box->text() };
            box->accept();
        });
        static_cast<QDialog *>(dialog)->accept();
    });
}

} // namespace

class tst_RecorderSave final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void unsavedRecordingIsKept_data();
    void unsavedRecordingIsKept();
    void recorderErrorIsShown();
    void unsavedRecordingIsOfferedAtStart_data();
    void unsavedRecordingIsOfferedAtStart();

private:
    std::unique_ptr<WindowFixture> fixture;
    AVRecorder::ResultingData recording;
};

void tst_RecorderSave::init()
{
    fixture = std::make_unique<WindowFixture>(updatedToday());
    const QString temp = fixture->home().dataFolder() + QStringLiteral("/temp/");
    QVERIFY(QDir().mkpath(temp));
    recording = { temp + QStringLiteral("C2_a.mpg"),
                  temp + QStringLiteral("C2_v.mpg"),
                  temp + QStringLiteral("C2_res.mpg"),
                  QRect(10, 20, 300, 200),
                  true,
                  {} };
}

void tst_RecorderSave::cleanup()
{
    fixture.reset();
}

void tst_RecorderSave::unsavedRecordingIsKept_data()
{
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<bool>("folderUsable");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("no recording") << QByteArray() << true << QStringLiteral("MPEG (*.mpg)")
                                  << QStringLiteral("Screen recorder")
                                  << QStringLiteral("The recording could not be made");
    QTest::newRow("copy failed") << QByteArray("recorded") << false << QStringLiteral("MPEG (*.mpg)")
                                 << QStringLiteral("Processing error:") << QStringLiteral("The recording is kept");
    QTest::newRow("conversion failed") << QByteArray("not a recording") << true << QStringLiteral("MPEG-4 (*.mp4)")
                                       << QStringLiteral("Conversion failed")
                                       << QStringLiteral("could not be converted");
}

// Whatever goes wrong, the recording stays in the temporary folder and the page still names it.
void tst_RecorderSave::unsavedRecordingIsKept()
{
    QFETCH(QByteArray, result);
    QFETCH(bool, folderUsable);
    QFETCH(QString, filter);
    QFETCH(QString, title);
    QFETCH(QString, text);

    if (!result.isEmpty()) {
        QVERIFY(writeFile(recording.resultFile, result));
    }
    QVERIFY(writeFile(recording.videoFile, "picture"));
    fixture->window().doneRecorderAV(recording);
    QVERIFY(fixture->window().recorderSaveMode);

    QTemporaryDir target;
    // A folder below a file cannot be made, even by root.
    QVERIFY(writeFile(target.filePath(QStringLiteral("file")), "x"));
    const QString folder = folderUsable ? target.path() : target.filePath(QStringLiteral("file/sub"));
    Box seen;
    answerSaveThenBox(folder + QStringLiteral("/Holiday"), filter, seen);
    fixture->find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(seen.title, title, 30000);
    QVERIFY2(seen.text.contains(text), qPrintable(seen.text));

    QVERIFY(fixture->window().recorderSaveMode);
    QVERIFY(fixture->find<QWidget>(QStringLiteral("widgetOptions"))->isVisible());
    QCOMPARE(QDir(target.path()).entryList(QDir::Files), QStringList { QStringLiteral("file") });
    QCOMPARE(readFile(recording.videoFile), QByteArray("picture"));
    QCOMPARE(readFile(recording.resultFile), result);
}

void tst_RecorderSave::recorderErrorIsShown()
{
    Box seen;
    answerNextModal([&seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        seen = { box->windowTitle(), box->text() };
        box->accept();
    });
    fixture->window().hide();
    fixture->window().errorRecorderAV(7, QStringLiteral("The capture stopped"));
    QCOMPARE(seen.title, QStringLiteral("AV Recorder"));
    QCOMPARE(seen.text, QStringLiteral("The capture stopped<hr>7"));
    QVERIFY(fixture->window().isVisible());
}

void tst_RecorderSave::unsavedRecordingIsOfferedAtStart_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("saved") << true;
    QTest::newRow("discarded") << false;
}

// Captures a run left behind, as after the program was ended while recording: merged, offered, and gone
// from the temporary folder once saved or discarded.
void tst_RecorderSave::unsavedRecordingIsOfferedAtStart()
{
    QFETCH(bool, save);
    const QString temp = fixture->home().dataFolder() + QStringLiteral("/temp/");
    const QString stem = temp + QStringLiteral("0123456789abcdef0123456789abcdef");
    QProcess converter;
    converter.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg"),
                    { "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=d=1:s=64x48", "-y", stem + "_v.mpg", "-f",
                      "lavfi", "-i", "sine=d=1", "-map", "1", "-y", stem + "_a.mpg" });
    QVERIFY(converter.waitForFinished() && converter.exitCode() == 0);

    fixture->window().offerUnsavedRecording();
    QTRY_VERIFY_WITH_TIMEOUT(fixture->window().recorderSaveMode, 30000);
    QVERIFY(QFileInfo(stem + QStringLiteral("_res.mpg")).size() > 0);

    QTemporaryDir target;
    if (save) {
        Box seen;
        answerSaveThenBox(target.filePath(QStringLiteral("Kept")), QStringLiteral("MPEG (*.mpg)"), seen);
        fixture->find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
        QTRY_COMPARE(seen.text, QStringLiteral("Processing is completed"));
        QVERIFY(QFileInfo(target.filePath(QStringLiteral("Kept.mpg"))).size() > 0);
    } else {
        answerNextModal(
            [](QWidget *modal) { modal->findChild<QPushButton *>(QStringLiteral("discardRecording"))->click(); });
        fixture->find<QPushButton>(QStringLiteral("btnBack"))->click();
    }
    QVERIFY(!fixture->window().recorderSaveMode);
    QCOMPARE(QDir(temp).entryList({ QStringLiteral("*.mpg") }, QDir::Files), QStringList());
}

QTEST_MAIN(tst_RecorderSave)
#include "tst_RecorderSave.moc"
