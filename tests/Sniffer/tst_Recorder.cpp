#include "Files.h"
#include "FullDisk.h"
#include "Grabbers.h"
#include "MediaProbe.h"
#include "SoundServer.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
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
    void pausedPartsAreLeftOut();
    void microphoneIsRecorded();
    void fullTempKeepsBothParts();

private:
    // Opens the recorder from the main window over the red region and starts it with Ctrl+B; returns
    // once the picture is being recorded.
    AVRecorder *startRecording();
    // Plays a tone on the sink for the given seconds.
    void playTone(QProcess &tone, int seconds, const QString &sink = QStringLiteral("@DEFAULT_SINK@"));
    // Stops the recording from the stop dialog; returns the recording the recorder handed over.
    AVRecorder::ResultingData stopRecording(AVRecorder *recorder);

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
                                      << QStringLiteral("h264");
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
    const QString soundCodec
        = MediaProbe::stream(saved, QStringLiteral("audio")).value(QStringLiteral("codec_name")).toString();
    QCOMPARE(soundCodec, extension == QStringLiteral("mp4") ? QStringLiteral("aac") : QStringLiteral("mp2"));
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

void tst_Recorder::playTone(QProcess &tone, int seconds, const QString &sink)
{
    tone.start(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
               { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-re"), QStringLiteral("-f"),
                 QStringLiteral("lavfi"), QStringLiteral("-i"),
                 QStringLiteral("sine=frequency=1000:duration=%1").arg(seconds), QStringLiteral("-f"),
                 QStringLiteral("pulse"), QStringLiteral("-device"), sink, QStringLiteral("tone") });
    QVERIFY(tone.waitForStarted());
}

AVRecorder::ResultingData tst_Recorder::stopRecording(AVRecorder *recorder)
{
    QSignalSpy done(recorder, qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    if (!pressShortcut(stopDialog(), Qt::Key_E) || !done.wait(captureTimeout)) {
        qWarning() << "the recording did not end";
        return {};
    }
    return done.first().first().value<AVRecorder::ResultingData>();
}

// Paused twice: the saved recording holds the three recorded parts only, picture and sound alike.
void tst_Recorder::pausedPartsAreLeftOut()
{
    AVRecorder *recorder = startRecording();
    QVERIFY(recorder != nullptr);
    const auto bothRecord
        = [recorder] { return capturing(recorder, Grabbers::Video) && capturing(recorder, Grabbers::Audio); };
    QTRY_VERIFY_WITH_TIMEOUT(bothRecord(), captureTimeout);
    QProcess tone;
    playTone(tone, 12);
    for (int pause = 0; pause < 2; ++pause) {
        QTest::qWait(1500);
        QVERIFY(pressShortcut(stopDialog(), Qt::Key_P));
        QTRY_VERIFY_WITH_TIMEOUT(recorder->findChild<Grabbers *>()->isPaused(), captureTimeout);
        QTest::qWait(1500);
        QVERIFY(pressShortcut(stopDialog(), Qt::Key_P));
        QTRY_VERIFY_WITH_TIMEOUT(bothRecord(), captureTimeout);
    }
    QTest::qWait(1500);
    const AVRecorder::ResultingData recording = stopRecording(recorder);
    QVERIFY(recording.joined);
    double parts = 0;
    for (const QString &file : recording.temporaries.filter(QRegularExpression(QStringLiteral("_v[0-9]*\\.mpg$")))) {
        parts += MediaProbe::duration(file);
    }
    QCOMPARE(recording.temporaries.filter(QRegularExpression(QStringLiteral("_v[0-9]*\\.mpg$"))).size(), 3);
    const double video = MediaProbe::stream(recording.resultFile, QStringLiteral("video"))
                             .value(QStringLiteral("duration"))
                             .toString()
                             .toDouble();
    QVERIFY2(qAbs(video - parts) <= 3.0 / 30, qPrintable(QStringLiteral("%1 for %2").arg(video).arg(parts)));
    QVERIFY(MediaProbe::maxVolume(recording.resultFile) > -40.0);
    tone.kill();
    tone.waitForFinished();
}

// The microphone (a null sink's monitor that the test makes the default source) is what is recorded, and the choice is
// there again the next time the recorder opens.
void tst_Recorder::microphoneIsRecorded()
{
    // A sink of its own for the machine's output: the first one loaded takes the place of the server's own.
    for (const QStringList &command :
         { QStringList { "load-module", "module-null-sink", "sink_name=speakers" },
           QStringList { "load-module", "module-null-sink", "sink_name=mic" },
           QStringList { "set-default-sink", "speakers" }, QStringList { "set-default-source", "mic.monitor" } }) {
        QCOMPARE(QProcess::execute(QStringLiteral("pactl"), command), 0);
    }
    fixture->find<QPushButton>(QStringLiteral("btnRecorderVC"))->click();
    AVRecorder *recorder = openRecorder();
    QVERIFY(recorder != nullptr);
    auto *source = recorder->findChild<QComboBox *>(QStringLiteral("comboSound"));
    source->setCurrentIndex(int(RecorderChoices::Sound::Microphone));
    emit source->activated(source->currentIndex());
    recorder->findChild<QPushButton *>(QStringLiteral("pushButtonClose"))->click();
    QTRY_VERIFY(fixture->window().isVisible());

    recorder = startRecording();
    QVERIFY(recorder != nullptr);
    QCOMPARE(recorder->choices().sound, RecorderChoices::Sound::Microphone);
    QTRY_VERIFY_WITH_TIMEOUT(capturing(recorder, Grabbers::Audio), captureTimeout);
    QProcess tone;
    playTone(tone, 2, QStringLiteral("mic"));
    QVERIFY(tone.waitForFinished());
    const AVRecorder::ResultingData recording = stopRecording(recorder);
    const double loudest = MediaProbe::maxVolume(recording.resultFile);
    QVERIFY2(loudest > -40.0, qPrintable(QString::number(loudest)));
}

// The temporary folder fills up while recording: neither picture nor sound is lost, and saving one leaves the
// other until the recording is discarded.
void tst_Recorder::fullTempKeepsBothParts()
{
    const QString temp = fixture->home().dataFolder() + QStringLiteral("/temp");
    QVERIFY(QDir().mkpath(temp));
    const FullDisk disk(temp, FullDisk::Mode::Full, QStringLiteral("8m"));
    if (!disk.mounted) {
        QSKIP("mounting a small file system needs root");
    }
    answerNextModal([](QWidget *box) { box->findChild<QPushButton *>(QStringLiteral("recordAnyway"))->click(); });
    AVRecorder *recorder = startRecording();
    QVERIFY(recorder != nullptr);
    QSignalSpy done(recorder, qOverload<AVRecorder::ResultingData>(&AVRecorder::done));
    const CaptureFiles files = recorder->findChild<Grabbers *>()->files();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(files.videoFile).size() > 0 && QFileInfo(files.audioFile).size() > 0,
                             captureTimeout);
    QFile filler(temp + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, '\0')) > 0 && filler.flush()) { }
    QString told;
    answerNextModal([&told](QWidget *box) {
        told = qobject_cast<QMessageBox *>(box)->text();
        qobject_cast<QMessageBox *>(box)->accept();
    });
    QTRY_VERIFY_WITH_TIMEOUT(fixture->window().isVisible(), captureTimeout);
    QVERIFY2(told.contains(QStringLiteral("Both are kept")), qPrintable(told));
    QCOMPARE(done.size(), 1);
    const auto recording = done.first().first().value<AVRecorder::ResultingData>();
    QVERIFY(!recording.joined);
    QVERIFY(MediaProbe::duration(recording.videoFile) > 0 && QFileInfo(recording.audioFile).size() > 0);

    QTemporaryDir target;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        dialog->selectNameFilter(QStringLiteral("MPEG (*.mpg)"));
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(target.filePath(QStringLiteral("Pic")));
        answerNextModal([](QWidget *box) { qobject_cast<QMessageBox *>(box)->accept(); });
        static_cast<QDialog *>(dialog)->accept();
    });
    fixture->find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    QTRY_VERIFY(QFileInfo(target.filePath(QStringLiteral("Pic.mpg"))).size() > 0);
    QTRY_VERIFY(!QFileInfo::exists(recording.videoFile));
    QVERIFY(QFileInfo(recording.audioFile).size() > 0);
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
