#include "Http2Reader.h"

#include <QTest>

#include <memory>

namespace {

using Way = HttpParser::Direction;

struct Told
{
    QByteArray header, target, host;
    qint64 size;
    QByteArray type;
};

class Listener final : public HttpListener
{
public:
    void mediaFound(const HttpMedia &media) override
    {
        told.append(
            { media.requestHeader, media.target.toByteArray(), media.host.toByteArray(), media.size, media.mediaType });
    }
    QList<Told> told;
};

int logLines = 0;

const QByteArray preface = "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n";
enum : char { Data = 0, Headers = 1, Settings = 4, Continuation = 9 };
enum : char { EndStream = 1, EndHeaders = 4, Padded = 8, Priority = 0x20 };

QByteArray frame(char type, int flags, int stream, const QByteArray &payload)
{
    const qsizetype n = payload.size();
    const char head[] = { char(n >> 16), char(n >> 8), char(n), type, char(flags), 0, 0, 0, char(stream) };
    return QByteArray(head, 9) + payload;
}

// A literal field without indexing whose name is the static table's entry.
QByteArray field(int index, const QByteArray &value)
{
    return (index < 15 ? QByteArray(1, char(index)) : QByteArray(1, 0x0f) + char(index - 15)) + char(value.size())
        + value;
}

QByteArray videoAnswer(int stream)
{
    return frame(Headers, EndHeaders, stream, "\x88" + field(31, "video/mp4") + field(28, "1000"));
}

} // namespace

class tst_Http2 final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) { ++logLines; });
    }
    void tablesStayInStep_data();
    void tablesStayInStep();
    void framesSplitAnywhere();
    void malformedInputAbandons_data();
    void malformedInputAbandons();
};

void tst_Http2::tablesStayInStep_data()
{
    QTest::addColumn<QList<QByteArray>>("blocks");
    QTest::newRow("plain") << QList<QByteArray> {
        QByteArray::fromHex("828684410f7777772e6578616d706c652e636f6d"),
        QByteArray::fromHex("828684be58086e6f2d6361636865"),
        QByteArray::fromHex("828785bf400a637573746f6d2d6b65790c637573746f6d2d76616c7565"),
    };
    QTest::newRow("huffman") << QList<QByteArray> {
        QByteArray::fromHex("828684418cf1e3c2e5f23a6ba0ab90f4ff"),
        QByteArray::fromHex("828684be5886a8eb10649cbf"),
        QByteArray::fromHex("828785bf408825a849e95ba97d7f8925a849e95bb8e8b4bf"),
    };
}

void tst_Http2::tablesStayInStep()
{
    QFETCH(const QList<QByteArray>, blocks);
    Http2Reader reader;
    Listener listener;
    QByteArray client = preface + frame(Settings, 0, 0, {}), server = frame(Settings, 0, 0, {});
    for (int i = 0; i < 3; ++i) {
        client += frame(Headers, EndHeaders | EndStream, 2 * i + 1, blocks[i]);
        server += videoAnswer(2 * i + 1);
    }
    reader.feed(Way::FromClient, reinterpret_cast<const uchar *>(client.data()), client.size(), listener);
    reader.feed(Way::FromServer, reinterpret_cast<const uchar *>(server.data()), server.size(), listener);
    QVERIFY(!reader.abandoned());
    QCOMPARE(listener.told.size(), 3);
    QCOMPARE(listener.told[0].header, "GET / HTTP/1.1\r\nHost: www.example.com\r\n\r\n");
    QCOMPARE(listener.told[1].header, "GET / HTTP/1.1\r\nHost: www.example.com\r\ncache-control: no-cache\r\n\r\n");
    QCOMPARE(listener.told[2].header,
             "GET /index.html HTTP/1.1\r\nHost: www.example.com\r\ncustom-key: custom-value\r\n\r\n");
    QCOMPARE(listener.told[2].target, "/index.html");
    QCOMPARE(listener.told[2].host, "www.example.com");
    QCOMPARE(listener.told[2].size, 1000);
    QCOMPARE(listener.told[2].type, "mp4\r\n");
}

void tst_Http2::framesSplitAnywhere()
{
    const QByteArray clip
        = "\x82\x87" + field(4, "/clip.mp4") + field(1, "media.test") + field(38, "other") + field(58, "t");
    const QByteArray flv = "\x82\x87" + field(4, "/a.flv");
    const QByteArray answer = "\x8a" + field(31, "Video/MP4 ; codecs=x") + field(30, "bytes 0-99/5000");
    const QByteArray client = preface
        + frame(Headers, Padded | Priority, 1,
                "\x02"
                "abcde"
                    + clip.first(7) + "pp")
        + frame(Continuation, EndHeaders | EndStream, 1, clip.sliced(7))
        + frame(Headers, EndHeaders | EndStream, 3, flv);
    const QByteArray server = frame(Headers, Padded | Priority, 1,
                                    "\x01"
                                    "abcde"
                                        + answer.first(5) + "p")
        + frame(Continuation, EndHeaders, 1, answer.sliced(5)) + frame(Data, EndStream, 1, QByteArray(100, 'm'))
        + frame(Headers, EndHeaders, 3, "\x88" + field(28, "4000"))
        + frame(Data, Padded, 3,
                "\x03"
                "Fppp")
        + frame(Data, EndStream, 3, "LV" + QByteArray(3997, 'f'));

    Http2Reader reader;
    Listener listener;
    for (const auto &[way, bytes] : { std::pair { Way::FromClient, client }, std::pair { Way::FromServer, server } }) {
        for (const char c : bytes) {
            // Each byte alone in its own allocation, so a read past a run is a memory error.
            const auto one = std::make_unique<uchar[]>(1);
            one[0] = uchar(c);
            reader.feed(way, one.get(), 1, listener);
        }
    }
    QVERIFY(!reader.abandoned());
    QCOMPARE(listener.told.size(), 2);
    QCOMPARE(listener.told[0].header, "GET /clip.mp4 HTTP/1.1\r\nHost: media.test\r\nuser-agent: t\r\n\r\n");
    QCOMPARE(listener.told[0].host, "media.test");
    QCOMPARE(listener.told[0].size, 5000);
    QCOMPARE(listener.told[0].type, "MP4\r\n");
    QCOMPARE(listener.told[1].target, "/a.flv");
    QCOMPARE(listener.told[1].size, 4000);
    QCOMPARE(listener.told[1].type, "x-flv");
}

void tst_Http2::malformedInputAbandons_data()
{
    QTest::addColumn<QByteArray>("client");
    QTest::addColumn<QByteArray>("server");
    const QByteArray get = frame(Headers, EndHeaders, 1, "\x82\x87" + field(4, "/v") + field(1, "h"));
    QTest::newRow("preface") << "PRI * HTTP/1.1\r\n\r\nSM\r\n\r\n" + get << videoAnswer(1);
    QTest::newRow("hpack index") << preface + frame(Headers, EndHeaders, 1, "\x82\xbf") << videoAnswer(1);
    QTest::newRow("block too large") << preface + QByteArray("\x04\x00\x01\x01\x00\x00\x00\x00\x01", 9) << QByteArray();
    QTest::newRow("continuation missing") << preface + frame(Headers, 0, 1, "\x82") + get << videoAnswer(1);
    QTest::newRow("padding too long") << preface + get
                                      << frame(Headers, EndHeaders, 1, "\x88")
            + frame(Data, Padded, 1,
                    "\x05"
                    "FLV");
}

void tst_Http2::malformedInputAbandons()
{
    QFETCH(const QByteArray, client);
    QFETCH(const QByteArray, server);
    Http2Reader reader;
    Listener listener;
    logLines = 0;
    for (int twice = 0; twice < 2; ++twice) {
        reader.feed(Way::FromClient, reinterpret_cast<const uchar *>(client.data()), client.size(), listener);
        reader.feed(Way::FromServer, reinterpret_cast<const uchar *>(server.data()), server.size(), listener);
    }
    QVERIFY(reader.abandoned());
    QCOMPARE(logLines, 1);
    QVERIFY(listener.told.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Http2)
#include "tst_Http2.moc"
