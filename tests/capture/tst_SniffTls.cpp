#include "CVideoSniffer.h"
#include "CYouTubeDownloader.h"
#include "CollectedReports.h"
#include "Files.h"
#include "TempHome.h"
#include "TlsRig.h"

#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <optional>

// A real browser fetches a real clip over TLS; with the browser's key log the sniffer must report it as it reports
// plain HTTP, and the save must get the same bytes again.
class tst_SniffTls final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void browserFetch_data();
    void browserFetch();

private:
    TempHome home;
    QTemporaryDir folder;
    std::unique_ptr<TlsRig> rig;
};

void tst_SniffTls::initTestCase()
{
    rig = std::make_unique<TlsRig>();
    if (!rig->unavailable().isEmpty()) {
        QSKIP(qPrintable(rig->unavailable()));
    }
    QVERIFY2(rig->failure().isEmpty(), qPrintable(rig->failure()));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    QVERIFY(tls.addCaCertificates(rig->caFile()));
    QSslConfiguration::setDefaultConfiguration(tls);
}

void tst_SniffTls::browserFetch_data()
{
    QTest::addColumn<quint16>("port");
    QTest::addColumn<QByteArray>("url");
    QTest::newRow("TLS 1.3, HTTP/2") << quint16(443) << QByteArray("https://media.test/clip.mp4");
    QTest::newRow("TLS 1.2, HTTP/1.1") << quint16(8443) << QByteArray("https://media.test:8443/clip.mp4");
}

void tst_SniffTls::browserFetch()
{
    QFETCH(quint16, port);
    QFETCH(QByteArray, url);
    const QString keyLog = folder.filePath(QStringLiteral("keys%1.log").arg(port));
    // The sniffer reads the key log the environment names, as the browser does.
    qputenv("SSLKEYLOGFILE", keyLog.toLocal8Bit());
    CVideoSniffer engine(rig->adapter());
    if (!engine.isCapturing() && engine.permissionDenied()) {
        QSKIP("capturing needs root or CAP_NET_RAW");
    }
    QVERIFY2(engine.isCapturing(), qPrintable(engine.openError()));
    engine.registerCallback(collectReport);

    QVERIFY2(rig->browse(port, keyLog), qPrintable(rig->failure()));
    // Chromium writes its key log from a thread of its own.
    QTRY_VERIFY2_WITH_TIMEOUT(readFile(keyLog).contains(port == 443 ? "CLIENT_TRAFFIC_SECRET_0 " : "CLIENT_RANDOM "),
                              "the browser wrote no key log", 15000);
    const std::optional<SniffReport> report = waitForReport(url, 15000);
    QVERIFY(report);
    const QByteArray clip = readFile(rig->clipFile());
    QCOMPARE(report->mediaType, QByteArray("mp4\r\n"));
    QCOMPARE(report->contentLength, QByteArray::number(clip.size()) + "\r\n");

    // This namespace cannot resolve media.test; the server's certificate names its address too.
    QUrl address(QString::fromLatin1(report->url));
    address.setHost(rig->serverAddress().toString());
    const QString saved = folder.filePath(QStringLiteral("saved%1.mp4").arg(port));
    CYouTubeDownloader save;
    save.setUrl(address.toString());
    save.setRequestHeader(report->requestHeader);
    save.setFileName(saved);
    QSignalSpy finished(&save, &CYouTubeDownloader::finished);
    save.startDownload();
    QVERIFY(finished.wait(20000));
    QVERIFY2(save.errorText().isEmpty(), qPrintable(save.errorText()));
    QVERIFY(readFile(saved) == clip);
}

QTEST_GUILESS_MAIN(tst_SniffTls)
#include "tst_SniffTls.moc"
