#include "CaptureCommands.h"

#include <QTest>

using Platform::Os;

Q_DECLARE_METATYPE(RecorderChoices::Sound)

class tst_CaptureCommands final : public QObject
{
    Q_OBJECT

private slots:
    void visibleRegion_data();
    void visibleRegion();
    void cropFilter_data();
    void cropFilter();
    void videoArguments_data();
    void videoArguments();
    void audioArguments_data();
    void audioArguments();
    void mergeArguments();
    void joinList();
    void stopDialogPlace_data();
    void stopDialogPlace();
    void pickedWindow();
    void progName_data();
    void progName();
};

void tst_CaptureCommands::visibleRegion_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("expected");
    const QRect screen(0, 0, 1280, 1024);
    QTest::newRow("past the right edge") << QRect(1000, 50, 481, 179) << screen << QRect(1000, 50, 280, 179);
    QTest::newRow("past the bottom edge") << QRect(100, 900, 481, 179) << screen << QRect(100, 900, 481, 124);
    QTest::newRow("past the left and top edges") << QRect(-50, -30, 481, 179) << screen << QRect(0, 0, 431, 149);
    QTest::newRow("on a second screen, past its right edge")
        << QRect(2400, 10, 481, 179) << QRect(1280, 0, 1280, 1024) << QRect(2400, 10, 160, 179);
    QTest::newRow("off the screen") << QRect(1300, 10, 481, 179) << screen << QRect();
}

void tst_CaptureCommands::visibleRegion()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, screen);
    QFETCH(QRect, expected);
    QCOMPARE(CaptureCommands::visibleRegion(frame, screen), expected);
}

void tst_CaptureCommands::cropFilter_data()
{
    QTest::addColumn<QRect>("region");
    QTest::addColumn<QString>("expected");
    QTest::newRow("481 x 179 at (100, 50)")
        << QRect(100, 50, 481, 179) << QStringLiteral("crop=481:179:100:50:keep_aspect=1");
    QTest::newRow("odd size at the origin")
        << QRect(0, 0, 1001, 333) << QStringLiteral("crop=1001:333:0:0:keep_aspect=1");
}

void tst_CaptureCommands::cropFilter()
{
    QFETCH(QRect, region);
    QFETCH(QString, expected);
    QCOMPARE(CaptureCommands::cropFilter(region.width(), region.height(), region.x(), region.y()), expected);
}

void tst_CaptureCommands::videoArguments_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<QString>("videoFile");
    QTest::addColumn<QStringList>("expected");
    const QString crop = QStringLiteral("crop=481:179:100:50:keep_aspect=1");
    QTest::newRow("Windows") << Os::Windows << QStringLiteral("C:\\t\\b_v.mpg")
                             << QStringList { "-copyts",
                                              "-rtbufsize",
                                              "2000M",
                                              "-framerate",
                                              "60",
                                              "-f",
                                              "dshow",
                                              "-i",
                                              "video=screen-capture-recorder",
                                              "-r",
                                              "60",
                                              "-vf",
                                              crop,
                                              "-q:v",
                                              "6",
                                              "-flush_packets",
                                              "1",
                                              "C:\\t\\b_v.mpg" };
    QTest::newRow("here") << Os::Unix << QStringLiteral("/t/b_v.mpg")
                          << QStringList { "-copyts", "-rtbufsize", "2000M",   "-framerate",
                                           "60",      "-f",         "x11grab", "-i",
                                           ":99",     "-r",         "60",      "-vf",
                                           crop,      "-q:v",       "6",       "-flush_packets",
                                           "1",       "/t/b_v.mpg" };
}

void tst_CaptureCommands::videoArguments()
{
    QFETCH(Os, os);
    QFETCH(QString, videoFile);
    QFETCH(QStringList, expected);
    const RecorderChoices choices { RecorderChoices::Sound::Both, 60, RecorderChoices::Quality::Medium };
    QCOMPARE(CaptureCommands::videoArguments(os, QStringLiteral(":99"), CaptureCommands::cropFilter(481, 179, 100, 50),
                                             videoFile, choices),
             expected);
}

void tst_CaptureCommands::audioArguments_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<RecorderChoices::Sound>("sound");
    QTest::addColumn<QStringList>("expected");
    const QString resample = QStringLiteral("aresample=async=1000");
    QTest::newRow("Windows, whatever the choice")
        << Os::Windows << RecorderChoices::Sound::Both
        << QStringList { "-copyts", "-f",     "dshow",          "-i", "audio=virtual-audio-capturer",
                         "-af",     resample, "-flush_packets", "1",  "a.mpg" };
    QTest::newRow("what the machine plays")
        << Os::Unix << RecorderChoices::Sound::Playback
        << QStringList { "-copyts", "-f",     "pulse",          "-i", "@DEFAULT_MONITOR@",
                         "-af",     resample, "-flush_packets", "1",  "a.mpg" };
    QTest::newRow("microphone") << Os::Unix << RecorderChoices::Sound::Microphone
                                << QStringList { "-copyts", "-f",     "pulse",          "-i", "@DEFAULT_SOURCE@",
                                                 "-af",     resample, "-flush_packets", "1",  "a.mpg" };
    QTest::newRow("both mixed") << Os::Unix << RecorderChoices::Sound::Both
                                << QStringList { "-copyts",
                                                 "-f",
                                                 "pulse",
                                                 "-i",
                                                 "@DEFAULT_MONITOR@",
                                                 "-f",
                                                 "pulse",
                                                 "-i",
                                                 "@DEFAULT_SOURCE@",
                                                 "-filter_complex",
                                                 "[0:a]" + resample + "[p];[1:a]" + resample
                                                     + "[m];[p][m]amix=inputs=2:normalize=0",
                                                 "-flush_packets",
                                                 "1",
                                                 "a.mpg" };
}

void tst_CaptureCommands::audioArguments()
{
    QFETCH(Os, os);
    QFETCH(RecorderChoices::Sound, sound);
    QFETCH(QStringList, expected);
    QCOMPARE(CaptureCommands::audioArguments(os, QStringLiteral("a.mpg"), sound), expected);
}

void tst_CaptureCommands::mergeArguments()
{
    QCOMPARE(CaptureCommands::mergeArguments(QStringLiteral("/t/b_v.mpg"), QStringLiteral("/t/b_a.mpg"),
                                             QStringLiteral("/t/b_res.mpg")),
             (QStringList { "-copyts", "-i", "/t/b_v.mpg", "-i", "/t/b_a.mpg", "-vcodec", "copy", "-acodec", "copy",
                            "-avoid_negative_ts", "make_zero", "-y", "/t/b_res.mpg" }));
}

void tst_CaptureCommands::joinList()
{
    QCOMPARE(CaptureCommands::joinList({ QStringLiteral("/t/b_res1.mpg"), QStringLiteral("/t/Ann's/b_res2.mpg") }),
             QByteArray("file '/t/b_res1.mpg'\nfile '/t/Ann'\\''s/b_res2.mpg'\n"));
}

void tst_CaptureCommands::stopDialogPlace_data()
{
    QTest::addColumn<QRect>("region");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QPoint>("expected");
    const QRect screen(0, 0, 1280, 1024);
    QTest::newRow("region elsewhere: top right") << QRect(100, 300, 481, 179) << QList { screen } << QPoint(940, 10);
    QTest::newRow("region in the top right: top left") << QRect(800, 0, 480, 300) << QList { screen } << QPoint(10, 10);
    QTest::newRow("whole screen: another screen")
        << screen << QList { screen, QRect(1280, 0, 1024, 768) } << QPoint(1964, 10);
}

void tst_CaptureCommands::stopDialogPlace()
{
    QFETCH(QRect, region);
    QFETCH(QList<QRect>, screens);
    QFETCH(QPoint, expected);
    QCOMPARE(CaptureCommands::stopDialogPlace(region, screens, QSize(320, 115)), expected);
}

void tst_CaptureCommands::pickedWindow()
{
    const QByteArray printed
        = "xwininfo: Window id: 0x1a00003 \"Editor\"\n\n  Absolute upper-left X:  12\n"
          "  Absolute upper-left Y:  -3\n  Relative upper-left X:  0\n  Width: 640\n  Height: 480\n";
    QCOMPARE(CaptureCommands::pickedWindow(printed), QRect(12, -3, 640, 480));
    QCOMPARE(CaptureCommands::pickedWindow("xwininfo: error: No window selected\n"), QRect());
}

void tst_CaptureCommands::progName_data()
{
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<Os>("os");
    QTest::addColumn<bool>("old");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Windows") << QStringLiteral("C:/Program Files/Corvane 2") << Os::Windows << false
                             << QStringLiteral("C:\\Program Files\\Corvane 2\\ffmpeg.exe");
    QTest::newRow("old Windows") << QStringLiteral("C:/Corvane") << Os::Windows << true
                                 << QStringLiteral("C:\\Corvane\\ffmpeg32.exe");
    QTest::newRow("here") << QStringLiteral("/opt/corvane 2") << Os::Unix << false
                          << QStringLiteral("/opt/corvane 2/ffmpeg");
}

void tst_CaptureCommands::progName()
{
    QFETCH(QString, appDir);
    QFETCH(Os, os);
    QFETCH(bool, old);
    QFETCH(QString, expected);
    QCOMPARE(CaptureCommands::progName(appDir, os, old), expected);
}

QTEST_GUILESS_MAIN(tst_CaptureCommands)
#include "tst_CaptureCommands.moc"
