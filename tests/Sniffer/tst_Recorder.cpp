#include "Files.h"
#include "Grabbers.h"
#include "MediaProbe.h"
#include "SoundServer.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The recorder's default size, at a place where a known picture lies under it.
const QRect Region(100, 50, 481, 179);
constexpr int captureTimeout = 20000;

AVRecorder *openRecorder()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *recorder = qobject_cast<AVRecorder *>(widget); recorder != nullptr && recorder->isVisible()) {
            return recorder;
        }
    }
    return nullptr;
}

QWidget *stopDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("StopDialog")) {
            return widget;
        }
    }
    return nullptr;
}

// Types a shortcut into a window as the user would: the window has the keyboard first.
bool pressShortcut(QWidget *window, Qt::Key key)
{
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        return false;
    }
    QTest::keyClick(window, key, Qt::ControlModifier);
    return true;
}

bool capturing(const AVRecorder *recorder, Grabbers::Kind kind)
{
    const auto *grabbers = recorder->findChild<Grabbers *>();
    return grabbers != nullptr && grabbers->isRecording(kind);
}

QStringList recordings(const WindowFixture &fixture)
{
    return QDir(fixture.home().dataFolder() + QStringLiteral("/temp"))
        .entryList({ QStringLiteral("*.mpg") }, QDir::Files, QDir::Name);
}

bool isRed(const QColor &colour)
{
    return colour.red() > 200 && colour.green() < 60 && colour.blue() < 60;
}

} // namespace

class tst_Recorder final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recordsAndSavesFromMainWindow_data();
    void recordsAndSavesFromMainWindow();
    void closingStopDialogDropsRecording();

private:
    // Opens the recorder from the main window over the red region and starts it with Ctrl+B; returns
    // once the picture is being recorded.
    AVRecorder *startRecording();

    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<SoundServer> sound;
    std::unique_ptr<QWidget> background;
    std::unique_ptr<QWidget> picture;
};

void tst_Recorder::init()
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        QSKIP("needs an X display: run under scripts/with-display.sh");
    }
    // The home first: the sound server keeps its key there, where the captures look for it.
    fixture = std::make_unique<WindowFixture>(updatedToday());
    sound = std::make_unique<SoundServer>();
    if (!sound->error().isEmpty()) {
        QSKIP(qPrintable(sound->error()));
    }

    // A blue screen with a red rectangle where the recording will be made: a misplaced region shows.
    background = std::make_unique<QWidget>();
    background->setWindowFlags(Qt::FramelessWindowHint);
    background->setStyleSheet(QStringLiteral("background-color: #0000ff;"));
    background->setGeometry(QGuiApplication::primaryScreen()->geometry());
    background->show();
    picture = std::make_unique<QWidget>();
    picture->setWindowFlags(Qt::FramelessWindowHint);
    picture->setStyleSheet(QStringLiteral("background-color: #ff0000;"));
    picture->setGeometry(Region);
    picture->show();
    QVERIFY(QTest::qWaitForWindowExposed(picture.get()));
    fixture->window().raise();
}

void tst_Recorder::cleanup()
{
    picture.reset();
    background.reset();
    fixture.reset();
    sound.reset();
}

AVRecorder *tst_Recorder::startRecording()
{
    fixture->find<QPushButton>(QStringLiteral("btnRecorderVC"))->click();
    AVRecorder *recorder = openRecorder();
    if (recorder == nullptr || fixture->window().isVisible()) {
        qWarning() << "the recorder did not take the main window's place";
        return nullptr;
    }
    recorder->setGeometry(Region);
    if (!QTest::qWaitForWindowExposed(recorder) || !pressShortcut(recorder, Qt::Key_B)) {
        qWarning() << "the recorder did not get the keyboard";
        return nullptr;
    }
    if (!QTest::qWaitFor([recorder] { return capturing(recorder, Grabbers::Video); }, captureTimeout)) {
        qWarning() << "the captures did not start";
        return nullptr;
    }
    return recorder;
}

void tst_Recorder::recordsAndSavesFromMainWindow_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("videoCodec");

    QTest::newRow("copied as mpg") << QStringLiteral("MPEG (*.mpg)") << QStringLiteral("mpg")
                                   << QStringLiteral("mpeg1video");
    QTest::newRow("converted to mp4") << QStringLiteral("MPEG-4 (*.mp4)") << QStringLiteral("mp4")
                                      << QStringLiteral("mpeg4");
}

void tst_Recorder::recordsAndSavesFromMainWindow()
{
    QFETCH(QString, filter);
    QFETCH(QString, extension);
    QFETCH(QString, videoCodec);

    AVRecorder *recorder = startRecording();
    QVERIFY(recorder != nullptr);
    QVERIFY(stopDialog()->isVisible());
    QProcess tone;
    tone.start(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
               { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-re"), QStringLiteral("-f"),
                 QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=1000:duration=3"),
                 QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("default") });
    QVERIFY(tone.waitForStarted());
    QTest::qWait(3000);
    QVERIFY(pressShortcut(stopDialog(), Qt::Key_E));
    tone.waitForFinished();

    // The main window is back, on the options page, naming the recording.
    QTRY_VERIFY_WITH_TIMEOUT(fixture->window().isVisible(), captureTimeout);
    QVERIFY(fixture->window().recorderSaveMode);
    QVERIFY(fixture->find<QWidget>(QStringLiteral("widgetOptions"))->isVisible());
    QCOMPARE(fixture->find<QLineEdit>(QStringLiteral("inputTitle"))->text(), QStringLiteral("Screen_Capture_1"));

    const QStringList files = recordings(*fixture);
    QCOMPARE(files.size(), 3);
    const QString result
        = fixture->home().dataFolder() + QStringLiteral("/temp/") + files.filter(QStringLiteral("_res.mpg")).value(0);
    const QJsonObject video = MediaProbe::stream(result, QStringLiteral("video"));
    QCOMPARE(video.value(QStringLiteral("width")).toInt(), Region.width());
    QCOMPARE(video.value(QStringLiteral("height")).toInt(), Region.height());
    // Three seconds of picture from its first frame; the sound server may deliver later.
    const double seconds = video.value(QStringLiteral("duration")).toString().toDouble();
    QVERIFY2(qAbs(seconds - 3.0) <= 0.5, qPrintable(QString::number(seconds)));
    const QColor middle = MediaProbe::averageColour(result, seconds / 2);
    QVERIFY2(isRed(middle), qPrintable(middle.name()));
    const double loudest = MediaProbe::maxVolume(result);
    QVERIFY2(loudest > -40.0, qPrintable(QString::number(loudest)));

    QTemporaryDir target;
    const QString saved = target.filePath(QStringLiteral("Holiday.") + extension);
    QString completion;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog != nullptr);
        dialog->selectNameFilter(filter);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(target.filePath(QStringLiteral("Holiday")));
        answerNextModal([&completion](QWidget *box) {
            completion = qobject_cast<QMessageBox *>(box)->text();
            qobject_cast<QMessageBox *>(box)->accept();
        });
        static_cast<QDialog *>(dialog)->accept();
    });
    const QByteArray recorded = readFile(result);
    const double recordedSeconds = MediaProbe::duration(result);
    fixture->find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Processing is completed"), 60000);
    QVERIFY(!fixture->window().recorderSaveMode);
    QVERIFY(fixture->find<QWidget>(QStringLiteral("widgetNavigation"))->isVisible());

    QCOMPARE(MediaProbe::stream(saved, QStringLiteral("video")).value(QStringLiteral("codec_name")).toString(),
             videoCodec);
    QVERIFY(!MediaProbe::stream(saved, QStringLiteral("audio")).isEmpty());
    const double savedSeconds = MediaProbe::duration(saved);
    QVERIFY2(qAbs(savedSeconds - recordedSeconds) <= 0.3, qPrintable(QString::number(savedSeconds)));
    if (extension == QStringLiteral("mpg")) {
        QCOMPARE(readFile(saved), recorded);
    }
    // Saved, copied or converted: the temporary captures are gone.
    QCOMPARE(recordings(*fixture), QStringList());

    // The next recording starts where this one was made; closing without recording changes nothing.
    fixture->find<QPushButton>(QStringLiteral("btnRecorderVC"))->click();
    recorder = openRecorder();
    QVERIFY(recorder != nullptr);
    QCOMPARE(recorder->geometry(), Region);
    recorder->findChild<QPushButton *>(QStringLiteral("pushButtonClose"))->click();
    QTRY_VERIFY(fixture->window().isVisible());
    QVERIFY(fixture->find<QWidget>(QStringLiteral("widgetNavigation"))->isVisible());
    QVERIFY(!fixture->window().recorderSaveMode);
}

void tst_Recorder::closingStopDialogDropsRecording()
{
    AVRecorder *recorder = startRecording();
    QVERIFY(recorder != nullptr);
    QSignalSpy closed(recorder, &AVRecorder::close);
    QTRY_VERIFY_WITH_TIMEOUT(capturing(recorder, Grabbers::Audio), captureTimeout);
    QCOMPARE(recordings(*fixture).size(), 2);

    answerNextModal(
        [](QWidget *modal) { modal->findChild<QPushButton *>(QStringLiteral("discardRecording"))->click(); });
    QVERIFY(!stopDialog()->close());
    QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, captureTimeout);
    QCOMPARE(recordings(*fixture), QStringList());
    QVERIFY(fixture->window().isVisible());
    QVERIFY(!fixture->window().recorderSaveMode);
}

int main(int argc, char **argv)
{
    // The captures read the X display itself: the windows must be on it, not offscreen.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication application(argc, argv);
    tst_Recorder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Recorder.moc"
