#include "Http2Reader.h"

#include <QTest>

#include <cstring>
#include <memory>

namespace {

using Way = HttpParser::Direction;

// Each medium told as "header|target|host|size|type", and "|body" for a playlist.
struct Listener final : HttpListener
{
    void mediaFound(const HttpMedia &media) override
    {
        told.append(media.requestHeader + '|' + media.target.toByteArray() + '|' + media.host.toByteArray() + '|'
                    + QByteArray::number(media.size) + '|' + media.mediaType
                    + (media.body.isEmpty() ? QByteArray() : '|' + media.body));
    }
    ByteBudget *bodyBudget() override { return &budget; }
    QByteArrayList told;
    ByteBudget budget { 1 << 20 };
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

// The client's bytes, then the server's, in runs of piece bytes.
void feed(Http2Reader &reader, const QByteArray &client, const QByteArray &server, qsizetype piece,
          HttpListener &listener)
{
    for (const auto &[way, bytes] : { std::pair { Way::FromClient, client }, std::pair { Way::FromServer, server } }) {
        for (qsizetype at = 0; at < bytes.size(); at += piece) {
            // Each run in an allocation of its own size, so a read past it is a memory error.
            const qsizetype n = std::min(piece, bytes.size() - at);
            const auto run = std::make_unique<uchar[]>(size_t(n));
            std::memcpy(run.get(), bytes.data() + at, size_t(n));
            reader.feed(way, run.get(), n, listener);
        }
    }
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
    void mediaFound_data();
    void mediaFound();
    void malformedInputAbandons_data();
    void malformedInputAbandons();
};

void tst_Http2::mediaFound_data()
{
    QTest::addColumn<QByteArray>("client");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QByteArrayList>("expected");
    // RFC 7541 C.3 and C.4: each request leans on the dynamic table the ones before it filled.
    const QList<QByteArray> plain { QByteArray::fromHex("828684410f7777772e6578616d706c652e636f6d"),
                                    QByteArray::fromHex("828684be58086e6f2d6361636865"),
                                    QByteArray::fromHex("828785bf400a637573746f6d2d6b65790c637573746f6d2d76616c7565") };
    const QList<QByteArray> huffman { QByteArray::fromHex("828684418cf1e3c2e5f23a6ba0ab90f4ff"),
                                      QByteArray::fromHex("828684be5886a8eb10649cbf"),
                                      QByteArray::fromHex("828785bf408825a849e95ba97d7f8925a849e95bb8e8b4bf") };
    const QByteArrayList examples {
        "GET / HTTP/1.1\r\nHost: www.example.com\r\n\r\n|/|www.example.com|1000|mp4\r\n",
        "GET / HTTP/1.1\r\nHost: www.example.com\r\ncache-control: no-cache\r\n\r\n|/|www.example.com|1000|mp4\r\n",
        "GET /index.html HTTP/1.1\r\nHost: www.example.com\r\ncustom-key: custom-value\r\n\r\n"
        "|/index.html|www.example.com|1000|mp4\r\n",
    };
    for (const auto &[name, blocks] :
         { std::pair { "RFC 7541 plain", plain }, std::pair { "RFC 7541 huffman", huffman } }) {
        QByteArray client = preface + frame(Settings, 0, 0, {}), server = frame(Settings, 0, 0, {});
        for (int i = 0; i < 3; ++i) {
            client += frame(Headers, EndHeaders | EndStream, 2 * i + 1, blocks[i]);
            server += videoAnswer(2 * i + 1);
        }
        QTest::newRow(name) << client << server << examples;
    }

    // Padding, priority, CONTINUATION, a Content-Range total, and a type told by the body's first bytes.
    const QByteArray clip
        = "\x82\x87" + field(4, "/clip.mp4") + field(1, "media.test") + field(38, "other") + field(58, "t");
    const QByteArray answer = "\x8a" + field(31, "Video/MP4 ; codecs=x") + field(30, "bytes 0-99/5000");
    QTest::newRow("frame kinds")
        << preface + frame(Headers, Padded | Priority, 1, "\2abcde" + clip.first(7) + "pp")
            + frame(Continuation, EndHeaders | EndStream, 1, clip.sliced(7))
            + frame(Headers, EndHeaders | EndStream, 3, "\x82\x87" + field(4, "/a.flv"))
        << frame(Headers, Padded | Priority, 1, "\1abcde" + answer.first(5) + "p")
            + frame(Continuation, EndHeaders, 1, answer.sliced(5)) + frame(Data, EndStream, 1, QByteArray(100, 'm'))
            + frame(Headers, EndHeaders, 3, "\x88" + field(28, "4000")) + frame(Data, Padded, 3, "\3Fppp")
            + frame(Data, EndStream, 3, "LV" + QByteArray(3997, 'f'))
        << QByteArrayList {
               "GET /clip.mp4 HTTP/1.1\r\nHost: media.test\r\nuser-agent: t\r\n\r\n|/clip.mp4|media.test|5000|MP4\r\n",
               "GET /a.flv HTTP/1.1\r\n\r\n|/a.flv||4000|x-flv"
           };
    // Five unanswered requests of 240 KB each: the oldest is forgotten, the rest still meet their answers.
    const QByteArray agent = QByteArray("\x0f\x2b\x7f\xe1\xd3\x03", 6) + QByteArray(60000, 'u');
    QByteArray requests = preface;
    for (int stream = 1; stream <= 9; stream += 2) {
        requests += frame(Headers, EndHeaders | EndStream, stream,
                          "\x82\x87" + field(4, "/v" + QByteArray::number(stream)) + agent.repeated(4));
    }
    QTest::newRow("request headers held within bounds")
        << requests << videoAnswer(1) + videoAnswer(9)
        << QByteArrayList { "GET /v9 HTTP/1.1\r\n" + ("user-agent: " + QByteArray(60000, 'u') + "\r\n").repeated(4)
                            + "\r\n|/v9||1000|mp4\r\n" };
    QTest::newRow("manifest whose stream trailers end")
        << preface + frame(Headers, EndHeaders | EndStream, 1, "\x82\x87" + field(4, "/m.mpd"))
        << frame(Headers, EndHeaders, 1, "\x88" + field(31, "application/dash+xml")) + frame(Data, 0, 1, "<MPD/>")
            + frame(Headers, EndHeaders | EndStream, 1, {})
        << QByteArrayList { "GET /m.mpd HTTP/1.1\r\n\r\n|/m.mpd||-1|DASH|<MPD/>" };
}

void tst_Http2::mediaFound()
{
    QFETCH(const QByteArray, client);
    QFETCH(const QByteArray, server);
    QFETCH(const QByteArrayList, expected);
    for (const qsizetype piece : { client.size() + server.size(), qsizetype(1) }) {
        Http2Reader reader;
        Listener listener;
        feed(reader, client, server, piece, listener);
        QVERIFY(!reader.abandoned());
        QCOMPARE(listener.told, expected);
    }
}

void tst_Http2::malformedInputAbandons_data()
{
    QTest::addColumn<QByteArray>("client");
    QTest::addColumn<QByteArray>("server");
    const QByteArray get = frame(Headers, EndHeaders, 1, "\x82\x87" + field(4, "/v") + field(1, "h"));
    QTest::newRow("preface") << "PRI * HTTP/1.1\r\n\r\nSM\r\n\r\n" + get << videoAnswer(1);
    QTest::newRow("hpack index") << preface + frame(Headers, EndHeaders, 1, "\x82\xbf") << videoAnswer(1);
    QTest::newRow("block too large") << preface + QByteArray("\x04\x00\x01\x01\x00\x00\x00\x00\x01", 9) << QByteArray();
    // One 4 KB table entry referred to 80 times: 4 KB on the wire, over 300 KB decoded.
    const QByteArray repeated = QByteArray("\x40\x01x\x7f\xa1\x1e", 6) + QByteArray(4000, 'v') + QByteArray(80, '\xbe');
    QTest::newRow("block decoding past its limit") << preface + frame(Headers, EndHeaders, 1, repeated) << QByteArray();
    QTest::newRow("continuation missing") << preface + frame(Headers, 0, 1, "\x82") + get << videoAnswer(1);
    QTest::newRow("padding too long") << preface + get
                                      << frame(Headers, EndHeaders, 1, "\x88") + frame(Data, Padded, 1, "\5FLV");
}

void tst_Http2::malformedInputAbandons()
{
    QFETCH(const QByteArray, client);
    QFETCH(const QByteArray, server);
    Http2Reader reader;
    Listener listener;
    logLines = 0;
    feed(reader, client, server, client.size() + server.size(), listener);
    feed(reader, client, server, client.size() + server.size(), listener);
    QVERIFY(reader.abandoned());
    QCOMPARE(logLines, 1);
    QVERIFY(listener.told.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Http2)
#include "tst_Http2.moc"
