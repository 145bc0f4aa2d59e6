#include "RecorderChoices.h"
#include "RecordingClock.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class tst_RecordingClock final : public QObject
{
    Q_OBJECT

private slots:
    void pausesAreLeftOut();
    void status_data();
    void status();
    void choicesAreRemembered();
};

void tst_RecordingClock::pausesAreLeftOut()
{
    RecordingClock clock;
    QCOMPARE(clock.elapsed(500), qint64(0));
    clock.start(1000);
    clock.pause(4000);
    QCOMPARE(clock.elapsed(9000), qint64(3000));
    clock.pause(9500);
    clock.resume(10000);
    clock.resume(10500);
    QCOMPARE(clock.elapsed(12000), qint64(5000));
}

void tst_RecordingClock::status_data()
{
    QTest::addColumn<qint64>("msecs");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QString>("expected");
    QTest::newRow("seconds") << qint64(7999) << qint64(1234567) << false << QStringLiteral("0:07 \u00b7 1.2 MB");
    QTest::newRow("paused past an hour") << qint64(3723000) << qint64(2'500'000'000) << true
                                         << QStringLiteral("1:02:03 \u00b7 2.5 GB \u00b7 paused");
}

void tst_RecordingClock::status()
{
    QFETCH(qint64, msecs);
    QFETCH(qint64, bytes);
    QFETCH(bool, paused);
    QFETCH(QString, expected);
    QCOMPARE(RecordingClock::status(msecs, bytes, paused), expected);
}

void tst_RecordingClock::choicesAreRemembered()
{
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    QCOMPARE(RecorderChoices::read(settings), RecorderChoices());
    const RecorderChoices chosen { RecorderChoices::Sound::Microphone, 60, RecorderChoices::Quality::Low };
    chosen.write(settings);
    QCOMPARE(RecorderChoices::read(QSettings(settings.fileName(), QSettings::IniFormat)), chosen);
    settings.setValue(QStringLiteral("recorder/frame_rate"), 25);
    QCOMPARE(RecorderChoices::read(settings).frameRate, 30);
    // A minute of a full HD screen at the best quality fits in well under a gigabyte, and less room means fewer
    // minutes.
    const qint64 perMinute = RecorderChoices().bytesPerMinute(QSize(1920, 1080));
    QVERIFY(perMinute > 10'000'000 && perMinute < 1'000'000'000);
    QCOMPARE(RecordingClock::minutesFitting(perMinute * 4 + 1, perMinute), qint64(4));
}

QTEST_GUILESS_MAIN(tst_RecordingClock)
#include "tst_RecordingClock.moc"
