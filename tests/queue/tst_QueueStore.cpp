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
    void damagedFilesGiveWhatTheyCan();
};

// A kept queue left damaged (cut short, hand-edited, of another version) gives the entries that can still run.
void tst_QueueStore::damagedFilesGiveWhatTheyCan()
{
    QueueEntry entry;
    entry.address = QStringLiteral("http://127.0.0.1/page.html");
    entry.format = QStringLiteral("mp4");
    entry.download = entry.target = QStringLiteral("/v/walk.mp4");
    QJsonObject otherKind = entry.toJson();
    otherKind.insert(QStringLiteral("mode"), 7);
    const QByteArray mixed = QJsonDocument(QJsonArray { 5, otherKind, entry.toJson(), QJsonObject() }).toJson();
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("queue.json"));
    QVERIFY(writeFile(file, mixed));
    QCOMPARE(DownloadQueue::stored(file).size(), 1);
    QVERIFY(writeFile(file, mixed.left(mixed.size() / 2)));
    QCOMPARE(DownloadQueue::stored(file).size(), 0);
}

QTEST_GUILESS_MAIN(tst_QueueStore)
#include "tst_QueueStore.moc"
