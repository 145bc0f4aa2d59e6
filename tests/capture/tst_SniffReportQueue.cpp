#include "SniffReportQueue.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

class tst_SniffReportQueue final : public QObject
{
    Q_OBJECT

private slots:
    void boundedOldestFirst_data();
    void boundedOldestFirst();
    void reportBytesBounded();
    void producersAndOneConsumer_data();
    void producersAndOneConsumer();
};

void tst_SniffReportQueue::boundedOldestFirst_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("pushed");
    QTest::addColumn<int>("firstKept");
    QTest::newRow("empty") << 3 << 0 << 0;
    QTest::newRow("below capacity") << 3 << 2 << 0;
    QTest::newRow("at capacity") << 3 << 3 << 0;
    QTest::newRow("over capacity: oldest dropped") << 3 << 7 << 4;
    QTest::newRow("capacity one") << 1 << 5 << 4;
}

void tst_SniffReportQueue::boundedOldestFirst()
{
    QFETCH(int, capacity);
    QFETCH(int, pushed);
    QFETCH(int, firstKept);
    SniffReportQueue queue(capacity);
    for (int i = 0; i < pushed; ++i) {
        queue.push({ QByteArray::number(i), "header", "100000\r\n", "mp4\r\n" });
    }
    QCOMPARE(queue.size(), pushed - firstKept);
    for (int i = firstKept; i < pushed; ++i) {
        const std::optional<SniffReport> report = queue.take();
        QVERIFY(report);
        QCOMPARE(report->url, QByteArray::number(i));
        QCOMPARE(report->mediaType, QByteArray("mp4\r\n"));
    }
    QVERIFY(!queue.take());
    QCOMPARE(queue.size(), 0);
}

void tst_SniffReportQueue::reportBytesBounded()
{
    SniffReportQueue queue(10, 100);
    queue.push({ "a", {}, "?", "HLS", QByteArray(40, 'p') });
    queue.push({ "b", {}, "?", "HLS", QByteArray(40, 'p') });
    queue.push({ "c", QByteArray(40, 'h'), "?", "mp4" });
    // The newest is kept even alone over the limit.
    QCOMPARE(queue.take()->url, QByteArray("b"));
    queue.push({ "d", {}, "?", "HLS", QByteArray(150, 'p') });
    QCOMPARE(queue.size(), 1);
    QCOMPARE(queue.take()->url, QByteArray("d"));
}

void tst_SniffReportQueue::producersAndOneConsumer_data()
{
    QTest::addColumn<int>("capacity");
    QTest::newRow("room for all") << 4 * 5000;
    QTest::newRow("dropping") << 16;
}

// Capture threads push while the window's thread takes: every producer's reports arrive in its own order,
// none twice, and all of them when nothing had to be dropped.
void tst_SniffReportQueue::producersAndOneConsumer()
{
    QFETCH(int, capacity);
    constexpr int producers = 4;
    constexpr int perProducer = 5000;
    SniffReportQueue queue(capacity);
    std::atomic<int> running = producers;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&queue, &running, p] {
            for (int i = 0; i < perProducer; ++i) {
                queue.push({ QByteArray::number(p), QByteArray::number(i), {}, {} });
            }
            --running;
        });
    }
    std::vector<int> last(producers, -1);
    int taken = 0;
    bool ordered = true;
    const auto drain = [&] {
        while (std::optional<SniffReport> report = queue.take()) {
            const int p = report->url.toInt();
            const int i = report->requestHeader.toInt();
            ordered = ordered && i > last[size_t(p)] && queue.size() <= capacity;
            last[size_t(p)] = i;
            ++taken;
        }
    };
    while (running > 0) {
        drain();
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    drain();
    QVERIFY(ordered);
    QVERIFY(taken <= producers * perProducer);
    if (capacity >= producers * perProducer) {
        QCOMPARE(taken, producers * perProducer);
        QCOMPARE(last, std::vector<int>(producers, perProducer - 1));
    }
}

QTEST_GUILESS_MAIN(tst_SniffReportQueue)
#include "tst_SniffReportQueue.moc"
