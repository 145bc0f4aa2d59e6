#include "DownloadQueue.h"
#include "Files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

class tst_QueueStore final : public QObject
{
    Q_OBJECT

private slots:
    void damagedFilesGiveWhatTheyCan_data();
    void damagedFilesGiveWhatTheyCan();
};

// A kept queue left damaged (cut short, hand-edited, of another version) gives the entries that can still run.
void tst_QueueStore::damagedFilesGiveWhatTheyCan_data()
{
    QueueEntry entry;
    entry.address = QStringLiteral("http://127.0.0.1/page.html");
    entry.format = QStringLiteral("mp4");
    entry.download = QStringLiteral("/v/walk.mp4");
    entry.target = QStringLiteral("/v/walk.mp4");
    const QByteArray whole = QJsonDocument(QJsonArray { entry.toJson() }).toJson();

    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("entries");
    QTest::newRow("whole") << whole << 1;
    QTest::newRow("cut short") << whole.left(whole.size() / 2) << 0;
    QTest::newRow("not a list") << QByteArray("{\"address\": \"x\"}") << 0;
    QJsonObject otherKind = entry.toJson();
    otherKind.insert(QStringLiteral("mode"), 7);
    QTest::newRow("among others") << QJsonDocument(QJsonArray { 5, otherKind, entry.toJson(), QJsonObject() }).toJson()
                                  << 1;
}

void tst_QueueStore::damagedFilesGiveWhatTheyCan()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, entries);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("queue.json"));
    QVERIFY(writeFile(file, stored));
    const QList<QueueEntry> read = DownloadQueue::stored(file);
    QCOMPARE(read.size(), entries);
    QVERIFY(read.isEmpty() || read.constFirst().target == QStringLiteral("/v/walk.mp4"));
}

QTEST_GUILESS_MAIN(tst_QueueStore)
#include "tst_QueueStore.moc"
