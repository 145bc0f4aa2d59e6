#include "Grabbers.h"
#include "MediaProbe.h"
#include "SoundServer.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QRect Region(10, 10, 320, 240);

// Sets an environment variable for one scope.
class EnvironmentValue final
{
public:
    EnvironmentValue(const char *variable, const QByteArray &value)
        : name(variable)
        , wasSet(qEnvironmentVariableIsSet(variable))
        , old(qgetenv(variable))
    {
        qputenv(name, value);
    }
    ~EnvironmentValue()
    {
        if (wasSet) {
            qputenv(name, old);
        } else {
            qunsetenv(name);
        }
    }
    EnvironmentValue(const EnvironmentValue &) = delete;
    EnvironmentValue &operator=(const EnvironmentValue &) = delete;

private:
    const char *name;
    bool wasSet;
    QByteArray old;
};

} // namespace

class tst_Grabbers final : public QObject
{
    Q_OBJECT

private slots:
    void recordsRegionWithSound();
    void reportsWhatCannotBeReached_data();
    void reportsWhatCannotBeReached();
    void mergeWithoutCapturesFails();
    void soundLostMidRecordingKeepsPicture();
};

void tst_Grabbers::recordsRegionWithSound()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display: run under scripts/with-display.sh");
    }
    const SoundServer sound;
    if (!sound.error().isEmpty()) {
        QSKIP(qPrintable(sound.error()));
    }
    QTemporaryDir temp;
    Grabbers grabbers(QStringLiteral(CORVANE_TOOLS_DIR), temp.path());
    const CaptureFiles files = grabbers.files();

    QProcess tone;
    tone.setProcessChannelMode(QProcess::ForwardedChannels);
    tone.start(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
               { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-re"), QStringLiteral("-f"),
                 QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=frequency=1000:duration=10"),
                 QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("default") });
    QVERIFY(tone.waitForStarted());

    const QSignalSpy failed(&grabbers, &Grabbers::failed);
    grabbers.start(Region);
    // Three seconds of picture from its first frame, however long the converter took to start.
    QTRY_VERIFY_WITH_TIMEOUT(grabbers.isRecording(Grabbers::Video), 20000);
    QTest::qWait(3000);
    QSignalSpy stopped(&grabbers, &Grabbers::stopped);
    grabbers.stop();
    QVERIFY(stopped.wait(20000));
    tone.kill();
    tone.waitForFinished();

    QVERIFY(failed.isEmpty());
    QCOMPARE(grabbers.stopProblems(), QStringList());
    QVERIFY(!grabbers.isRunning(Grabbers::Video));
    QVERIFY(!grabbers.isRunning(Grabbers::Audio));
    QVERIFY(QFileInfo(files.videoFile).size() > 0);
    QVERIFY(QFileInfo(files.audioFile).size() > 0);

    QSignalSpy merged(&grabbers, &Grabbers::merged);
    grabbers.mergeAudioVideo();
    QVERIFY(merged.wait(60000));
    QVERIFY2(merged.first().first().toBool(), qPrintable(grabbers.failureDetail()));
    QVERIFY(QFileInfo(files.videoFile).size() > 0);
    QVERIFY(QFileInfo(files.audioFile).size() > 0);

    const QJsonObject video = MediaProbe::stream(files.resultFile, QStringLiteral("video"));
    QCOMPARE(video.value(QStringLiteral("width")).toInt(), Region.width());
    QCOMPARE(video.value(QStringLiteral("height")).toInt(), Region.height());
    const double seconds = video.value(QStringLiteral("duration")).toString().toDouble();
    QVERIFY2(qAbs(seconds - 3.0) <= 0.5, qPrintable(QString::number(seconds)));
    QVERIFY(!MediaProbe::stream(files.resultFile, QStringLiteral("audio")).isEmpty());
    const double loudest = MediaProbe::maxVolume(files.resultFile);
    QVERIFY2(loudest > -40.0, qPrintable(QString::number(loudest)));
    qInfo() << "recorded" << seconds << "s of picture, sound peaking at" << loudest << "dB";
}

void tst_Grabbers::reportsWhatCannotBeReached_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("converterPresent");
    QTest::addColumn<Grabbers::Failure>("failure");

    QTest::newRow("no display set") << QByteArray("DISPLAY") << QByteArray() << true << Grabbers::Failure::NoDisplay;
    QTest::newRow("display not reachable")
        << QByteArray("DISPLAY") << QByteArray(":4711") << true << Grabbers::Failure::NoDisplay;
    QTest::newRow("sound server not reachable") << QByteArray("PULSE_SERVER") << QByteArray("unix:/nonexistent/native")
                                                << true << Grabbers::Failure::NoSoundServer;
    QTest::newRow("no converter") << QByteArray("PULSE_SERVER") << QByteArray("unix:/nonexistent/native") << false
                                  << Grabbers::Failure::ConverterMissing;
}

void tst_Grabbers::reportsWhatCannotBeReached()
{
    QFETCH(QByteArray, variable);
    QFETCH(QByteArray, value);
    QFETCH(bool, converterPresent);
    QFETCH(Grabbers::Failure, failure);
    if (failure == Grabbers::Failure::NoSoundServer && qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display: run under scripts/with-display.sh");
    }
    const EnvironmentValue unreachable(variable.constData(), value);
    QTemporaryDir temp;
    Grabbers grabbers(converterPresent ? QStringLiteral(CORVANE_TOOLS_DIR) : temp.path(), temp.path());

    QSignalSpy failed(&grabbers, &Grabbers::failed);
    grabbers.start(Region);

    QVERIFY(failed.wait(20000));
    QCOMPARE(failed.first().at(0).value<Grabbers::Failure>(), failure);
    QCOMPARE(failed.first().at(1).toString(), Grabbers::message(failure));
    QVERIFY(!grabbers.isRunning(Grabbers::Video));
    QVERIFY(!grabbers.isRunning(Grabbers::Audio));
    QVERIFY(!Grabbers::message(failure).isEmpty());
}

void tst_Grabbers::mergeWithoutCapturesFails()
{
    QTemporaryDir temp;
    Grabbers grabbers(QStringLiteral(CORVANE_TOOLS_DIR), temp.path());

    QSignalSpy merged(&grabbers, &Grabbers::merged);
    grabbers.mergeAudioVideo();
    QVERIFY(merged.wait());
    QVERIFY(!merged.first().first().toBool());
    QVERIFY(!grabbers.failureDetail().isEmpty());
}

// The sound server goes away while recording: the picture goes on, the message says plainly what happened, and
// the sound recorded until then is kept.
void tst_Grabbers::soundLostMidRecordingKeepsPicture()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display: run under scripts/with-display.sh");
    }
    auto sound = std::make_unique<SoundServer>();
    if (!sound->error().isEmpty()) {
        QSKIP(qPrintable(sound->error()));
    }
    QTemporaryDir temp;
    Grabbers grabbers(QStringLiteral(CORVANE_TOOLS_DIR), temp.path());
    QSignalSpy lost(&grabbers, &Grabbers::soundLost);
    grabbers.start(Region);
    QTRY_VERIFY_WITH_TIMEOUT(grabbers.isRecording(Grabbers::Video) && grabbers.isRecording(Grabbers::Audio), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(grabbers.files().audioFile).size() > 0, 20000);
    sound.reset();

    QVERIFY(lost.wait(20000));
    QVERIFY(lost.first().first().toString().contains(QStringLiteral("sound server (PulseAudio) went away")));
    QVERIFY(grabbers.isRecording(Grabbers::Video));
    QSignalSpy stopped(&grabbers, &Grabbers::stopped);
    grabbers.stop();
    QVERIFY(stopped.wait(20000));
    QCOMPARE(grabbers.stopProblems(), QStringList());
    QVERIFY(MediaProbe::duration(grabbers.files().videoFile) > 0.0);
    QVERIFY(QFileInfo(grabbers.files().audioFile).size() > 0);
}

QTEST_GUILESS_MAIN(tst_Grabbers)
#include "tst_Grabbers.moc"
