#include "ProgressChunk.h"
#include "ToolOutput.h"
#include "ToolProgress.h"

#include <QTest>

class tst_ProgressChunk final : public QObject
{
    Q_OBJECT

private slots:
    void percentFromChunk_data();
    void percentFromChunk();
    void progressPercents_data();
    void progressPercents();
    void toolProgressLines_data();
    void toolProgressLines();
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

void tst_ProgressChunk::toolProgressLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("read");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<bool>("estimated");
    QTest::addColumn<float>("percent");
    QTest::addColumn<qint64>("left");

    QTest::newRow("all known") << "corvane-progress 1024 4096 NA 2048.5 2" << true << 4096LL << false << 25.0F << 2LL;
    QTest::newRow("fragments: a guessed total")
        << "corvane-progress 500 NA 1000.0 NA NA\r" << true << 1000LL << true << 50.0F << -1LL;
    QTest::newRow("nothing known yet") << "corvane-progress 0 NA NA None NA" << true << -1LL << false << -1.0F << -1LL;
    QTest::newRow("the tool's own line") << "[download]  42.3% of 10.00MiB" << false << -1LL << false << -1.0F << -1LL;
    QTest::newRow("a line cut short") << "corvane-progress 1024 40" << false << -1LL << false << -1.0F << -1LL;
}

void tst_ProgressChunk::toolProgressLines()
{
    QFETCH(QString, line);
    const std::optional<ToolProgress> figures = ToolProgress::fromLine(line);
    QTEST(figures.has_value(), "read");
    if (figures) {
        QTEST(figures->total, "total");
        QTEST(figures->estimated, "estimated");
        QTEST(figures->percent(), "percent");
        QTEST(figures->left, "left");
    }
}

QTEST_GUILESS_MAIN(tst_ProgressChunk)
#include "tst_ProgressChunk.moc"
