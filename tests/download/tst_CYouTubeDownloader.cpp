#include "CYouTubeDownloader.h"
#include "Files.h"
#include "FullDisk.h"
#include "LocalHttpServer.h"
#include "TempHome.h"

#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class tst_CYouTubeDownloader final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void capturedHeaderIsReplayed();
    void outcome_data();
    void outcome();
    void wholeStreamOrNothing_data();
    void wholeStreamOrNothing();
    void unwritableTarget_data();
    void unwritableTarget();
    void bodyStaysOutOfDiskCache();

private:
    // Runs one transfer to its end; the worker is kept for inspection.
    void fetch(const QString &path, const QString &target, const QByteArray &header = QByteArray());

    TempHome home;
    QTemporaryDir served;
    QTemporaryDir out;
    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<CYouTubeDownloader> worker;
    std::unique_ptr<QSignalSpy> progressSpy;
    QByteArray body;
};

void tst_CYouTubeDownloader::initTestCase()
{
    for (int i = 0; i < 300 * 1024; ++i) {
        body.append(char(i * 7 % 251));
    }
    QFile file(served.filePath(QStringLiteral("clip.flv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    QCOMPARE(QProcess::execute(QStringLiteral("gzip"), { QStringLiteral("-k"), file.fileName() }), 0);
    server = std::make_unique<LocalHttpServer>(served.path());
}

void tst_CYouTubeDownloader::fetch(const QString &path, const QString &target, const QByteArray &header)
{
    worker = std::make_unique<CYouTubeDownloader>();
    worker->setReplace(UserFileSave::Replace::Agreed);
    worker->setSilenceLimit(std::chrono::seconds(1));
    progressSpy = std::make_unique<QSignalSpy>(worker.get(), &CYouTubeDownloader::OnProgress);
    worker->setUrl(server->url(path));
    worker->setRequestHeader(header);
    worker->setFileName(target);
    QSignalSpy finished(worker.get(), &CYouTubeDownloader::finished);
    worker->startDownload();
    QVERIFY(finished.wait(10000));
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
}

void tst_CYouTubeDownloader::capturedHeaderIsReplayed()
{
    const QString target = out.filePath(QStringLiteral("header.txt"));
    fetch(QStringLiteral("clip.flv?echo"), target,
          "GET /captured.flv?at=10: 00 HTTP/1.1\r\nCookie: id=7; theme=dark; x=a=b\r\nX-Test: a: b\r\n"
          "Referer: http://example.test/page\r\n\r\n");
    const QByteArray sent = readFile(target);
    QVERIFY(sent.startsWith("GET /clip.flv?echo HTTP/1.1\r\n"));
    QVERIFY(!sent.contains("captured"));
    QVERIFY(sent.contains("\r\nCookie: id=7; theme=dark; x=a=b\r\n"));
    QVERIFY(sent.contains("\r\nX-Test: a\r\n"));
    QVERIFY(sent.contains("\r\nReferer: http://example.test/page\r\n"));
}

void tst_CYouTubeDownloader::outcome_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("progress");

    QTest::newRow("complete") << QStringLiteral("clip.flv") << false << true << true;
    QTest::newRow("replaces an existing file") << QStringLiteral("clip.flv") << true << true << true;
    QTest::newRow("no length: no progress") << QStringLiteral("clip.flv?nolength") << false << true << false;
    QTest::newRow("not found") << QStringLiteral("missing.flv") << false << false << false;
    QTest::newRow("not found keeps the old file") << QStringLiteral("missing.flv") << true << false << false;
    QTest::newRow("not modified") << QStringLiteral("clip.flv?status=304") << true << false << false;
    QTest::newRow("dropped mid-body") << QStringLiteral("clip.flv?drop=100000") << false << false << true;
    QTest::newRow("dropped keeps the old file") << QStringLiteral("clip.flv?drop=100000") << true << false << true;
}

void tst_CYouTubeDownloader::outcome()
{
    QFETCH(QString, path);
    QFETCH(bool, existing);
    QFETCH(bool, saved);
    QFETCH(bool, progress);

    const QString target = out.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".flv"));
    if (existing) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    fetch(path, target);
    QCOMPARE(worker->networkError() == 0, saved);
    QCOMPARE(worker->errorText().isEmpty(), saved);
    QCOMPARE(!progressSpy->isEmpty(), progress);
    QCOMPARE(readFile(target), saved ? body : existing ? QByteArray("old") : QByteArray());
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
}

void tst_CYouTubeDownloader::wholeStreamOrNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("failure");

    QTest::newRow("captured range") << QStringLiteral("clip.flv") << QString();
    QTest::newRow("part unasked") << QStringLiteral("clip.flv?partial=100000") << QStringLiteral("part");
    QTest::newRow("gzip") << QStringLiteral("clip.flv.gz?encoding=gzip") << QString();
    QTest::newRow("gzip cut short") << QStringLiteral("clip.flv.gz?encoding=gzip&nolength&drop=1000")
                                    << QStringLiteral("early");
    QTest::newRow("unknown encoding") << QStringLiteral("clip.flv?encoding=br") << QStringLiteral("\"br\"");
    QTest::newRow("server goes silent") << QStringLiteral("clip.flv?stall") << QStringLiteral("1 s");
    QTest::newRow("slow but steady") << QStringLiteral("clip.flv?drip=10000") << QString();
}

void tst_CYouTubeDownloader::wholeStreamOrNothing()
{
    QFETCH(QString, path);
    QFETCH(QString, failure);

    // What a browser asks for after a seek; the save still wants the whole stream.
    const QString target = out.filePath(QString::fromLatin1(QTest::currentDataTag()));
    fetch(path, target, "Range: bytes=100000-\r\n\r\n");
    QVERIFY2(worker->errorText().contains(failure), qPrintable(worker->errorText()));
    QCOMPARE(worker->networkError() == 0, failure.isEmpty());
    QCOMPARE(readFile(target), failure.isEmpty() ? body : QByteArray());
}

void tst_CYouTubeDownloader::unwritableTarget_data()
{
    QTest::addColumn<QString>("folder");

    QTest::newRow("parent is a file") << QStringLiteral("served/clip.flv");
    QTest::newRow("disk full mid-transfer") << QStringLiteral("full");
}

void tst_CYouTubeDownloader::unwritableTarget()
{
    QFETCH(QString, folder);

    const QString parent
        = folder == QStringLiteral("full") ? out.filePath(folder) : served.filePath(QStringLiteral("clip.flv"));
    std::unique_ptr<FullDisk> disk;
    if (folder == QStringLiteral("full")) {
        QVERIFY(QDir().mkpath(parent));
        disk = std::make_unique<FullDisk>(parent);
        if (!disk->mounted) {
            QSKIP("mounting a tmpfs needs root");
        }
    }
    const QString target = parent + QStringLiteral("/clip.flv");
    fetch(QStringLiteral("clip.flv"), target);
    QCOMPARE(worker->networkError(), 0);
    QVERIFY(worker->errorText().contains(target));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
}

void tst_CYouTubeDownloader::bodyStaysOutOfDiskCache()
{
    fetch(QStringLiteral("clip.flv?cacheable"), out.filePath(QStringLiteral("cacheable.flv")));
    QCOMPARE(worker->networkError(), 0);
    QDirIterator cached(home.path() + QStringLiteral("/.cache"), QDir::Files, QDirIterator::Subdirectories);
    while (cached.hasNext()) {
        QVERIFY2(cached.nextFileInfo().size() < body.size(), qPrintable(cached.filePath()));
    }
}

QTEST_GUILESS_MAIN(tst_CYouTubeDownloader)
#include "tst_CYouTubeDownloader.moc"
