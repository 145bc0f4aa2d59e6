#include "ConverterArguments.h"

#include <QTest>

class tst_ConverterArguments final : public QObject
{
    Q_OBJECT

private slots:
    void converterArguments_data();
    void converterArguments();
};

void tst_ConverterArguments::converterArguments_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("mp4") << QStringLiteral("/d/a.flv") << QStringLiteral("/d/b.mp4")
                         << QStringList { "-i", "/d/a.flv", "-vcodec", "mpeg4", "-qscale", "1", "-y", "/d/b.mp4" };
    QTest::newRow("mov") << QStringLiteral("/d/a.webm") << QStringLiteral("/d/a.mov")
                         << QStringList { "-i", "/d/a.webm", "-level",  "3.1", "-vcodec", "mpeg4",
                                          "-f", "mov",       "-qscale", "1",   "-y",      "/d/a.mov" };
    QTest::newRow("upper-case MP4 left to the converter")
        << QStringLiteral("/d/a.webm") << QStringLiteral("/d/a.MP4")
        << QStringList { "-i", "/d/a.webm", "-qscale", "1", "-y", "/d/a.MP4" };
    QTest::newRow("mp3") << QStringLiteral("/d/a.webm") << QStringLiteral("/d/a.mp3")
                         << QStringList { "-i", "/d/a.webm", "-vn", "-qscale", "1", "-y", "/d/a.mp3" };
    QTest::newRow("upper-case OGG is audio too")
        << QStringLiteral("/d/a.mp4") << QStringLiteral("/d/a.OGG")
        << QStringList { "-i", "/d/a.mp4", "-vn", "-qscale", "1", "-y", "/d/a.OGG" };
    QTest::newRow("dots in the folder and name")
        << QStringLiteral("/d.v2/Mr. Bean 1.5 km.mp4") << QStringLiteral("/d.v2/Mr. Bean 1.5 km.flv")
        << QStringList { "-i", "/d.v2/Mr. Bean 1.5 km.mp4", "-vcodec", "flv", "-qscale", "1",
                         "-y", "/d.v2/Mr. Bean 1.5 km.flv" };
}

void tst_ConverterArguments::converterArguments()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, expected);
    QCOMPARE(::converterArguments(from, to), expected);
}

QTEST_GUILESS_MAIN(tst_ConverterArguments)
#include "tst_ConverterArguments.moc"
