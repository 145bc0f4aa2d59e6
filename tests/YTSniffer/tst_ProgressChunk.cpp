#include "ProgressChunk.h"
#include "ToolOutput.h"

#include <QTest>

class tst_ProgressChunk final : public QObject
{
    Q_OBJECT

private slots:
    void percentFromChunk_data();
    void percentFromChunk();
    void progressPercents_data();
    void progressPercents();
};

void tst_ProgressChunk::percentFromChunk_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<float>("expected");

    QTest::newRow("progress line") << QByteArray("[download]  42.3% of 10.00MiB at 1.21MiB/s ETA 00:05") << 42.3F;
    QTest::newRow("complete") << QByteArray("[download] 100% of 3.20MiB in 00:02") << 100.0F;
    QTest::newRow("not a progress line") << QByteArray("[download] Destination: name.mp4") << 0.0F;
    QTest::newRow("no bracket") << QByteArray("12.5%") << 12.5F;
    // Output on a pipe: the tool joins its progress lines with CR and no newline.
    QTest::newRow("several lines joined by CR")
        << QByteArray("\r[download]   1.4% of   71.39KiB at  Unknown B/s ETA Unknown"
                      "\r[download]   4.2% of   71.39KiB at  Unknown B/s ETA Unknown"
                      "\r[download]  11.2% of   71.39KiB at  2.10MiB/s ETA 00:00\r")
        << 1.4F;
    QTest::newRow("text after a NUL ignored") << QByteArray("[download]  7.5%\0[download] 9.0%", 33) << 7.5F;
}

void tst_ProgressChunk::percentFromChunk()
{
    QFETCH(QByteArray, chunk);
    QFETCH(float, expected);
    QCOMPARE(::percentFromChunk(toolText(chunk)), expected);
}

void tst_ProgressChunk::progressPercents_data()
{
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QList<float>>("expected");

    QTest::newRow("information lines around progress lines")
        << QStringLiteral("[generic] clip: Downloading webpage\n[download] Destination: /d/clip.mp4\n"
                          "\r[download]   1.4% of   70.74KiB at  Unknown B/s ETA Unknown"
                          "\r[download] 100% of   70.74KiB in 00:00:00 at 13.50MiB/s  \n")
        << QList<float> { 1.4F, 100.0F };
    QTest::newRow("front of a line cut by the pipe") << QStringLiteral("[download]  42") << QList<float>();
    QTest::newRow("back of a line cut by the pipe") << QStringLiteral(".3% of 10.00MiB") << QList<float>();
}

void tst_ProgressChunk::progressPercents()
{
    QFETCH(QString, chunk);
    QFETCH(QList<float>, expected);
    QCOMPARE(::progressPercents(chunk), expected);
}

QTEST_GUILESS_MAIN(tst_ProgressChunk)
#include "tst_ProgressChunk.moc"
