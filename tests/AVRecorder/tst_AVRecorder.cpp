#include "AVRecorder.h"
#include "Files.h"
#include "Grabbers.h"
#include "Modal.h"
#include "Readable.h"
#include "TempHome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// Stands in for the converter: writes the file it was given, then notes the start, and a capture runs
// until it reads the "q" that stops it. A merge writes part of its file and finishes it only once the test
// lets it. The recorder's logic is under test here, not the recording.
constexpr char FakeConverter[] = R"(#!/bin/sh
dir=$(dirname "$0")
for last; do :; done
if [ -e "$dir/fail" ]; then
  : > "$last"
  echo "$@" >> "$dir/starts.log"
  echo "Input/output error"
  exit 1
fi
case "$*" in
*_res.mpg*)
  echo part > "$last"
  echo "$@" >> "$dir/starts.log"
  while [ -e "$dir/slow" ] && [ ! -e "$dir/finish" ]; do sleep 0.05; done
  echo data >> "$last"
  exit 0 ;;
esac
echo data > "$last"
echo "$@" >> "$dir/starts.log"
echo "Press [q] to stop"
head -c 1 > /dev/null
)";

QWidget *stopDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("StopDialog")) {
            return widget;
        }
    }
    return nullptr;
}

} // namespace

class tst_AVRecorder final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void negativeCoordinatesAreClamped_data();
    void negativeCoordinatesAreClamped();
    void startingTwiceRecordsOnce_data();
    void startingTwiceRecordsOnce();
    void stopWithoutRecordingDoesNothing();
    void closingStopDialogAsks_data();
    void closingStopDialogAsks();
    void longMergeIsNotCut();
    void failedCaptureIsReported();
    void severalMonitorsAskFirst_data();
    void severalMonitorsAskFirst();

private:
    QStringList starts(const QString &kind) const;

    std::unique_ptr<TempHome> home;
    std::unique_ptr<QTemporaryDir> appDir;
    std::unique_ptr<AVRecorder> recorder;
};

void tst_AVRecorder::init()
{
    home = std::make_unique<TempHome>();
    appDir = std::make_unique<QTemporaryDir>();
    QFile converter(appDir->filePath(QStringLiteral("ffmpeg")));
    QVERIFY(converter.open(QIODevice::WriteOnly));
    converter.write(FakeConverter);
    converter.close();
    converter.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    recorder = std::make_unique<AVRecorder>(nullptr, appDir->path(), home->path());
}

void tst_AVRecorder::cleanup()
{
    recorder.reset();
    appDir.reset();
    home.reset();
}

// Lines of the converter's starts: "video" captures carry a crop filter, "audio" ones write the "_a" file.
QStringList tst_AVRecorder::starts(const QString &kind) const
{
    QFile log(appDir->filePath(QStringLiteral("starts.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString marker = kind == QStringLiteral("video") ? QStringLiteral("crop=") : QStringLiteral("_a.mpg");
    QStringList found;
    for (const QString &line : QString::fromLocal8Bit(log.readAll()).split(QLatin1Char('\n'))) {
        if (line.contains(marker) && !line.contains(QStringLiteral("_res.mpg"))) {
            found << line;
        }
    }
    return found;
}

void tst_AVRecorder::negativeCoordinatesAreClamped_data()
{
    QTest::addColumn<QRect>("placed");
    QTest::addColumn<QRect>("recorded");
    QTest::addColumn<QString>("crop");

    QTest::newRow("on screen") << QRect(30, 20, 500, 200) << QRect(30, 20, 500, 200)
                               << QStringLiteral("crop=500:200:30:20");
    QTest::newRow("left of screen") << QRect(-100, 40, 600, 200) << QRect(0, 40, 500, 200)
                                    << QStringLiteral("crop=500:200:0:40");
    QTest::newRow("above screen") << QRect(10, -20, 500, 220) << QRect(10, 0, 500, 200)
                                  << QStringLiteral("crop=500:200:10:0");
    // The rectangle shrinks below the window's minimum; only what was under the frame is recorded.
    QTest::newRow("above and left, below minimum")
        << QRect(-50, -30, 500, 300) << QRect(0, 0, 450, 270) << QStringLiteral("crop=450:270:0:0");
}

void tst_AVRecorder::negativeCoordinatesAreClamped()
{
    QFETCH(QRect, placed);
    QFETCH(QRect, recorded);
    QFETCH(QString, crop);

    QSignalSpy done(recorder.get(), qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    recorder->startRecorder(placed);
    QCOMPARE(recorder->geometry(), placed);
    recorder->clickButtonStart();
    recorder->stop();
    QTRY_COMPARE(done.size(), 1);
    const QStringList video = starts(QStringLiteral("video"));
    QCOMPARE(video.size(), 1);
    QVERIFY2(video.first().contains(crop + QLatin1Char(':')), qPrintable(video.first()));
    QCOMPARE(done.first().first().value<AVRecorder::ResultingData>().geometry, recorded);
}

void tst_AVRecorder::startingTwiceRecordsOnce_data()
{
    QTest::addColumn<bool>("firstByButton");
    QTest::addColumn<bool>("secondByButton");

    QTest::newRow("called twice") << false << false;
    QTest::newRow("button, then called") << true << false;
    QTest::newRow("button twice") << true << true;
}

void tst_AVRecorder::startingTwiceRecordsOnce()
{
    QFETCH(bool, firstByButton);
    QFETCH(bool, secondByButton);

    auto *start = recorder->findChild<QPushButton *>(QStringLiteral("pushButtonStart"));
    QVERIFY(start != nullptr);
    QSignalSpy done(recorder.get(), qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    recorder->startRecorder();
    for (const bool byButton : { firstByButton, secondByButton }) {
        if (byButton) {
            start->click();
        } else {
            recorder->clickButtonStart();
        }
    }
    QVERIFY(stopDialog() != nullptr && stopDialog()->isVisible());
    QVERIFY(!recorder->isVisible());

    recorder->stop();
    recorder->stop();
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(starts(QStringLiteral("video")).size(), 1);
    QCOMPARE(starts(QStringLiteral("audio")).size(), 1);
    QCOMPARE(done.size(), 1);
    const auto data = done.first().first().value<AVRecorder::ResultingData>();
    QVERIFY(data.videoFile.endsWith(QStringLiteral("_v.mpg")));
    QVERIFY(data.audioFile.endsWith(QStringLiteral("_a.mpg")));
    QVERIFY(data.resultFile.endsWith(QStringLiteral("_res.mpg")));
    QVERIFY(QFile::exists(data.resultFile));
    QVERIFY(!stopDialog()->isVisible());
}

void tst_AVRecorder::stopWithoutRecordingDoesNothing()
{
    QSignalSpy done(recorder.get(), qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    QSignalSpy closed(recorder.get(), &AVRecorder::close);
    recorder->startRecorder();
    recorder->stop();
    QCOMPARE(done.size(), 0);
    QCOMPARE(closed.size(), 0);
    QVERIFY(recorder->isVisible());
    QVERIFY(starts(QStringLiteral("video")).isEmpty());
}

void tst_AVRecorder::closingStopDialogAsks_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<int>("kept");

    QTest::newRow("keep") << QStringLiteral("keepRecording") << false << 3;
    QTest::newRow("discard") << QStringLiteral("discardRecording") << false << 0;
    QTest::newRow("go on") << QStringLiteral("goOnRecording") << false << 2;
    QTest::newRow("Escape in the dialog, then go on") << QStringLiteral("goOnRecording") << true << 2;
}

void tst_AVRecorder::closingStopDialogAsks()
{
    QFETCH(QString, answer);
    QFETCH(bool, byEscape);
    QFETCH(int, kept);

    QSignalSpy done(recorder.get(), qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    QSignalSpy closed(recorder.get(), &AVRecorder::close);
    QSignalSpy quit(qApp, &QGuiApplication::lastWindowClosed);
    recorder->startRecorder();
    recorder->clickButtonStart();
    QTRY_COMPARE(starts(QStringLiteral("audio")).size() + starts(QStringLiteral("video")).size(), 2);

    QString question;
    bool readable = false;
    answerNextModal([&question, &readable, answer](QWidget *modal) {
        question = qobject_cast<QMessageBox *>(modal)->text();
        // Asked over the stop dialog, whose black style sheet must reach neither the words nor the buttons.
        const QList<QPushButton *> buttons = modal->findChildren<QPushButton *>();
        readable = darkOnLight(modal->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) && buttons.size() == 3
            && std::all_of(buttons.cbegin(), buttons.cend(), darkOnLight);
        modal->findChild<QPushButton *>(answer)->click();
    });
    if (byEscape) {
        QTest::keyClick(stopDialog(), Qt::Key_Escape);
    } else {
        QVERIFY(!stopDialog()->close());
    }
    QCOMPARE(question, QStringLiteral("Keep what was recorded so far?"));
    QVERIFY(readable);
    if (answer == QStringLiteral("keepRecording")) {
        QTRY_COMPARE(done.size(), 1);
    } else if (answer == QStringLiteral("discardRecording")) {
        QTRY_COMPARE(closed.size(), 1);
    } else {
        QVERIFY(stopDialog()->isVisible());
        QVERIFY(recorder->findChild<Grabbers *>()->isRecording(Grabbers::Audio));
    }
    QCOMPARE(done.size() + closed.size(), kept == 2 ? 0 : 1);
    QCOMPARE(QDir(home->path()).entryList({ QStringLiteral("*.mpg") }, QDir::Files).size(), kept);
    QCOMPARE(quit.size(), 0);
}

// The merge takes as long as it takes, and the windows keep working meanwhile.
void tst_AVRecorder::longMergeIsNotCut()
{
    QVERIFY(writeFile(appDir->filePath(QStringLiteral("slow")), {}));
    QSignalSpy done(recorder.get(), qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    recorder->startRecorder();
    recorder->clickButtonStart();
    QTRY_COMPARE(starts(QStringLiteral("audio")).size(), 1);
    recorder->stop();
    QTRY_VERIFY(QFile::exists(appDir->filePath(QStringLiteral("starts.log")))
                && readFile(appDir->filePath(QStringLiteral("starts.log"))).contains("_res.mpg"));

    QVERIFY(writeFile(appDir->filePath(QStringLiteral("finish")), {}));
    QTRY_COMPARE(done.size(), 1);
    const auto data = done.first().first().value<AVRecorder::ResultingData>();
    QCOMPARE(readFile(data.resultFile), QByteArray("part\ndata\n"));
}

void tst_AVRecorder::failedCaptureIsReported()
{
    QVERIFY(writeFile(appDir->filePath(QStringLiteral("fail")), {}));
    QSignalSpy done(recorder.get(), qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    QSignalSpy closed(recorder.get(), &AVRecorder::close);
    QString title;
    QString text;
    answerNextModal([&title, &text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    recorder->startRecorder();
    recorder->clickButtonStart();

    QTRY_COMPARE(closed.size(), 1);
    // Which capture gives up first, and why, depends on the machine: the box says one of the reasons.
    const QList<Grabbers::Failure> reasons { Grabbers::Failure::NoDisplay, Grabbers::Failure::NoSoundServer,
                                             Grabbers::Failure::VideoCaptureFailed,
                                             Grabbers::Failure::AudioCaptureFailed };
    QVERIFY2(std::any_of(reasons.cbegin(), reasons.cend(),
                         [&text](Grabbers::Failure reason) { return text == Grabbers::message(reason); }),
             qPrintable(text));
    QCOMPARE(title, QStringLiteral("AV Recorder"));
    QCOMPARE(done.size(), 0);
    QVERIFY(!stopDialog()->isVisible());
    QVERIFY(!recorder->isVisible());
    QCOMPARE(QDir(home->path()).entryList({ QStringLiteral("*.mpg") }, QDir::Files), QStringList());
}

// Run by its own CTest entry on an offscreen platform with two screens.
void tst_AVRecorder::severalMonitorsAskFirst_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("opened");

    QTest::newRow("ignored") << QMessageBox::Ignore << true;
    QTest::newRow("aborted") << QMessageBox::Abort << false;
}

void tst_AVRecorder::severalMonitorsAskFirst()
{
    if (QGuiApplication::screens().size() < 2) {
        QSKIP("needs two screens: run by the tst_AVRecorder_twoScreens test");
    }
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, opened);

    QSignalSpy closed(recorder.get(), &AVRecorder::close);
    QString title;
    answerNextModal([&title, answer](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box != nullptr);
        title = box->windowTitle();
        box->button(answer)->click();
    });
    recorder->startRecorder();

    QCOMPARE(title, QStringLiteral("Monitors number: 2"));
    QCOMPARE(recorder->isVisible(), opened);
    QCOMPARE(closed.size(), opened ? 0 : 1);
}

QTEST_MAIN(tst_AVRecorder)
#include "tst_AVRecorder.moc"
