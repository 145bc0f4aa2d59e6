#include "Files.h"
#include "KeyLog.h"
#include "TlsStream.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

namespace {

using enum HttpParser::Direction;

QByteArray testData(const QString &name)
{
    return readFile(QStringLiteral(CORVANE_SOURCE_DIR "/tests/data/tls/") + name);
}

const uchar *bytes(const QByteArray &array)
{
    return reinterpret_cast<const uchar *>(array.constData());
}

struct Collected final : TlsPlaintextSink
{
    QByteArray text[2];
    bool closed[2] {};
    void plaintext(HttpParser::Direction direction, const uchar *data, qsizetype size) override
    {
        text[direction].append(reinterpret_cast<const char *>(data), size);
    }
    void ended(HttpParser::Direction direction) override { closed[direction] = true; }
};

void feed(TlsStream &tls, HttpParser::Direction direction, const QByteArray &stream, qsizetype piece)
{
    for (qsizetype at = 0; at < stream.size(); at += piece) {
        tls.feed(direction, bytes(stream) + at, std::min(piece, stream.size() - at));
    }
}

} // namespace

class tst_Tls final : public QObject
{
    Q_OBJECT

private slots:
    void sessions_data();
    void sessions();
    void damage_data();
    void damage();
    void keyLogFollowsFile();
};

void tst_Tls::sessions_data()
{
    QTest::addColumn<QString>("session");
    QTest::addColumn<qsizetype>("piece");
    QTest::addColumn<bool>("keysLate");
    QTest::addColumn<QByteArray>("clientText");
    QTest::addColumn<QByteArray>("serverStart");
    QTest::addColumn<QByteArray>("serverName");
    const QByteArray request = "GET /video.mp4 HTTP/1.1\r\nHost: media.test\r\n\r\n";
    QByteArray rfcPayload(50, 0);
    std::iota(rfcPayload.begin(), rfcPayload.end(), char(0));
    for (const qsizetype piece : { qsizetype(1) << 20, qsizetype(1), qsizetype(7) }) {
        for (const bool late : { false, true }) {
            const QByteArray how = " in runs of " + QByteArray::number(piece) + (late ? ", keys late" : "");
            QTest::addRow("TLS 1.3 RFC 8448%s", how.constData())
                << "rfc8448" << piece << late << rfcPayload << rfcPayload << QByteArray("server");
            QTest::addRow("TLS 1.2 AES-GCM%s", how.constData())
                << "tls12" << piece << late << request << QByteArray("HTTP/1.0 200 ok\r\n") << QByteArray("media.test");
            QTest::addRow("TLS 1.3 ChaCha20 with KeyUpdate%s", how.constData())
                << "tls13-chacha" << piece << late << QByteArray("hello\nworld\n") << QByteArray("olleh\ndlrow\n")
                << QByteArray("media.test");
        }
    }
}

void tst_Tls::sessions()
{
    QFETCH(QString, session);
    QFETCH(qsizetype, piece);
    QFETCH(bool, keysLate);
    QFETCH(QByteArray, clientText);
    QFETCH(QByteArray, serverStart);
    QFETCH(QByteArray, serverName);
    const QByteArray client = testData(session + "-client.bin");
    const QByteArray server = testData(session + "-server.bin");
    const QByteArray keyLines = testData(session + "-keylog.txt");
    QVERIFY(TlsStream::startsClientHello(bytes(client), client.size()));
    QVERIFY(!TlsStream::startsClientHello(bytes(server), server.size()));

    KeyLog keys;
    if (!keysLate) {
        keys.addText(keyLines);
    }
    Collected sink;
    TlsStream tls(keys, sink);
    // The client's records that follow its hello wait for the ServerHello.
    feed(tls, FromClient, client, piece);
    feed(tls, FromServer, server, piece);
    if (keysLate) {
        QVERIFY(tls.waitingForKeys());
        QVERIFY(sink.text[FromClient].isEmpty());
        const quint64 before = keys.generation();
        keys.addText(keyLines);
        QCOMPARE_GT(keys.generation(), before);
        tls.retry();
    }
    QVERIFY(!tls.failed());
    QCOMPARE(tls.heldBytes(), 0);
    QCOMPARE(sink.text[FromClient], clientText);
    QCOMPARE(sink.text[FromServer].left(serverStart.size()), serverStart);
    QVERIFY(sink.closed[FromClient]);
    QCOMPARE(tls.serverName(), serverName);
    QCOMPARE(tls.inner(), TlsStream::Inner::Http1);
    QCOMPARE(tls.alpn(), QByteArray("http/1.1"));
}

void tst_Tls::damage_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<bool>("hole");
    QTest::addColumn<qsizetype>("heldLimit"); // 0: no keys, and 1 KiB may wait for them
    const QByteArray server = testData("rfc8448-server.bin");
    // ServerHello, the encrypted handshake flight, the ticket, then application data.
    const qsizetype flight = 5 + 90, ticket = flight + 679, application = ticket + 227;
    const auto changed = [&](qsizetype at, char byte) { return QByteArray(server).replace(at, 1, &byte, 1); };
    const qsizetype held = TlsStream::defaultHeldLimit;
    QTest::newRow("failed tag") << changed(application + 40, char(server[application + 40] ^ 1)) << false << held;
    QTest::newRow("record longer than TLS allows") << changed(ticket + 3, 0x41) << false << held;
    QTest::newRow("ServerHello length past its fields") << changed(5 + 3, 0x50) << false << held;
    QTest::newRow("no ServerHello") << server.sliced(flight) << false << held;
    QTest::newRow("hole after the ServerHello") << server << true << held;
    QTest::newRow("keys never arrive") << server << false << qsizetype(0);
}

void tst_Tls::damage()
{
    QFETCH(QByteArray, server);
    QFETCH(bool, hole);
    QFETCH(qsizetype, heldLimit);
    const QByteArray client = testData("rfc8448-client.bin");
    KeyLog keys;
    keys.addText(heldLimit ? testData("rfc8448-keylog.txt") : QByteArray());
    Collected sink;
    TlsStream tls(keys, sink, heldLimit ? heldLimit : 1024);
    tls.feed(FromClient, bytes(client), client.size());
    tls.feed(FromServer, bytes(server), 95);
    if (hole) {
        tls.lose(FromServer);
    }
    tls.feed(FromServer, bytes(server) + 95, server.size() - 95);
    QVERIFY(tls.failed());
    QCOMPARE(tls.heldBytes(), 0);
    QVERIFY(sink.text[FromServer].isEmpty());
}

void tst_Tls::keyLogFollowsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keys.log"));
    const QByteArray random(32, '\x11'), other(32, '\x22');
    const QByteArray line = "CLIENT_RANDOM " + random.toHex() + ' ' + QByteArray(48, '\x33').toHex() + '\n';
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    KeyLog keys(path, 2);
    QVERIFY(!keys.find(random));
    file.write(line.first(50));
    keys.refresh();
    QVERIFY(!keys.find(random));
    file.write(line.sliced(50) + "# comment\nCLIENT_RANDOM 1234 abcd\n");
    QTRY_VERIFY(keys.find(random));
    QCOMPARE(keys.find(random)->masterSecret, QByteArray(48, '\x33'));
    QCOMPARE(keys.malformedLines(), 1);
    // Emptied and written anew: read again from its start.
    QVERIFY(file.resize(0));
    QVERIFY(file.seek(0));
    file.write("CLIENT_TRAFFIC_SECRET_0 " + other.toHex() + ' ' + QByteArray(32, '\x44').toHex() + '\n');
    QTRY_VERIFY(keys.find(other));
    QCOMPARE(keys.find(other)->clientTrafficSecret, QByteArray(32, '\x44'));
    keys.addText("CLIENT_RANDOM " + QByteArray(32, '\x55').toHex() + ' ' + QByteArray(48, 0).toHex() + '\n');
    QVERIFY(!keys.find(random));
}

QTEST_GUILESS_MAIN(tst_Tls)
#include "tst_Tls.moc"
