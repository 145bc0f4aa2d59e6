#include "CaptureCommands.h"

#include <QTest>

using Platform::Os;

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
    QTest::newRow("Windows")
        << Os::Windows << QStringLiteral("C:\\t\\b_v.mpg")
        << QStringList { "-copyts", "-rtbufsize", "2000M", "-f", "dshow", "-i",  "video=screen-capture-recorder",
                         "-r",      "30",         "-vf",   crop, "-b:v",  "20M", "C:\\t\\b_v.mpg" };
    QTest::newRow("here") << Os::Unix << QStringLiteral("/t/b_v.mpg")
                          << QStringList { "-copyts", "-rtbufsize", "2000M", "-f", "x11grab", "-i",  ":99",
                                           "-r",      "30",         "-vf",   crop, "-b:v",    "20M", "/t/b_v.mpg" };
}

void tst_CaptureCommands::videoArguments()
{
    QFETCH(Os, os);
    QFETCH(QString, videoFile);
    QFETCH(QStringList, expected);
    QCOMPARE(CaptureCommands::videoArguments(os, QStringLiteral(":99"), CaptureCommands::cropFilter(481, 179, 100, 50),
                                             videoFile),
             expected);
}

void tst_CaptureCommands::audioArguments_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Windows") << Os::Windows
                             << QStringList { "-copyts", "-f", "dshow", "-i", "audio=virtual-audio-capturer", "a.mpg" };
    QTest::newRow("here") << Os::Unix << QStringList { "-copyts", "-f", "pulse", "-i", "@DEFAULT_MONITOR@", "a.mpg" };
}

void tst_CaptureCommands::audioArguments()
{
    QFETCH(Os, os);
    QFETCH(QStringList, expected);
    QCOMPARE(CaptureCommands::audioArguments(os, QStringLiteral("a.mpg")), expected);
}

void tst_CaptureCommands::mergeArguments()
{
    QCOMPARE(CaptureCommands::mergeArguments(QStringLiteral("/t/b_v.mpg"), QStringLiteral("/t/b_a.mpg"),
                                             QStringLiteral("/t/b_res.mpg")),
             (QStringList { "-copyts", "-i", "/t/b_v.mpg", "-i", "/t/b_a.mpg", "-vcodec", "copy", "-acodec", "copy",
                            "-avoid_negative_ts", "make_zero", "-y", "/t/b_res.mpg" }));
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
