#include "StreamSave.h"

#include "Files.h"
#include "LocalHttpServer.h"
#include "StreamSamples.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class tst_StreamSave final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();

private:
    StreamSave::Job job(const QString &path, const QString &fileName) const;

    QTemporaryDir www;
    LocalHttpServer server { www.path() };
};

void tst_StreamSave::initTestCase()
{
    QVERIFY(makeStream(SampleStream::HlsTs, www.path()));
    const QByteArray rendition = readFile(www.filePath(QStringLiteral("ts/stream_1.m3u8")));
    // A save to cancel under way, and a segment the server does not have.
    QVERIFY(writeFile(www.filePath(QStringLiteral("ts/slow.m3u8")),
                      QByteArray(rendition).replace(".ts\n", ".ts?drip=4096\n")));
    QVERIFY(writeFile(www.filePath(QStringLiteral("ts/gap.m3u8")), QByteArray(rendition).replace("_2.ts", "_9.ts")));
}

StreamSave::Job tst_StreamSave::job(const QString &path, const QString &fileName) const
{
    // A master playlist's renditions are programs; a rendition's playlist has just one.
    const QStringList maps = path.endsWith(QStringLiteral("master.m3u8")) ? QStringList { "0:p:1" } : QStringList();
    return { server.url(path), "GET / HTTP/1.1\r\nCookie: a=1\r\n\r\n", maps, streamSeconds, false, fileName };
}

void tst_StreamSave::failuresLeaveNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("error");

    QTest::newRow("playlist not found") << "ts/none.m3u8" << false << false << "404 Not Found";
    QTest::newRow("segment not found") << "ts/gap.m3u8" << false << false << "could not be fetched";
    QTest::newRow("cancelled midway") << "ts/slow.m3u8" << false << true << "cancelled";
    QTest::newRow("name taken") << "ts/master.m3u8" << true << false << "already exists";
}

void tst_StreamSave::failuresLeaveNothing()
{
    QFETCH(QString, path);
    QFETCH(bool, existing);
    QFETCH(bool, cancel);
    QFETCH(QString, error);

    const QTemporaryDir out;
    const QString target = out.filePath(QStringLiteral("failed.mp4"));
    QVERIFY(!existing || writeFile(target, "mine"));
    StreamSave save;
    QSignalSpy progress(&save, &StreamSave::progress);
    QSignalSpy finished(&save, &StreamSave::finished);
    save.start(job(path, target));
    QCOMPARE(finished.count(), 0);
    if (cancel) {
        QVERIFY(progress.wait(30000));
        save.abort();
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    QVERIFY2(save.errorText().contains(error), qPrintable(save.errorText()));
    QCOMPARE(save.isAborted(), cancel);
    QCOMPARE(readFile(target), existing ? QByteArray("mine") : QByteArray());
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), int(existing));
    QVERIFY(childrenEnded());
}

QTEST_GUILESS_MAIN(tst_StreamSave)
#include "tst_StreamSave.moc"
