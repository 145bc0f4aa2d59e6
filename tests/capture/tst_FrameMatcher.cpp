#include "FrameBuilder.h"
#include "FrameMatcher.h"
#include "IgnoreList.h"
#include "KeyLog.h"
#include "TlsSession.h"

#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const Endpoint client { { 10, 0, 0, 1 }, 50000 };
const Endpoint server { { 192, 0, 2, 7 }, 80 };
const Endpoint client6 { { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 }, 50000, true };
const Endpoint server6 { { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7 }, 8080, true };
constexpr qint64 start = 1'700'000'000;

struct Step
{
    QByteArray frame;
    qint64 at = start;
    int link = 1;
};

QByteArray get(const QByteArray &target, const QByteArray &hostLine = "Host: mediahost\r\n")
{
    return "GET " + target + " HTTP/1.1\r\n" + hostLine + "Accept: */*\r\n\r\n";
}

QByteArray ok(const QByteArray &headerLines, const QByteArray &body = {})
{
    return "HTTP/1.1 200 OK\r\n" + headerLines + "\r\n" + body;
}

QByteArray chunk(qsizetype size, const QByteArray &extension = {})
{
    return QByteArray::number(size, 16) + extension + "\r\n" + QByteArray(size, 'c') + "\r\n";
}

// One connection: the client's payloads, then the server's, these after the given idle time.
QList<Step> exchange(std::initializer_list<QByteArray> requests, std::initializer_list<QByteArray> answers,
                     bool v6 = false, Link link = Link::Ethernet, qint64 idle = 0)
{
    TcpFlow flow(v6 ? client6 : client, v6 ? server6 : server, link);
    QList<Step> steps;
    for (const QByteArray &request : requests) {
        steps.append({ flow.out(request), start, linkType(link) });
    }
    for (const QByteArray &answer : answers) {
        steps.append({ flow.in(answer), start + idle, linkType(link) });
    }
    return steps;
}

const QByteArray flvBody("FLV\x01\x05\x00\x00\x00\x09", 9);
const QByteArray clip = get("/v/clip.flv");
const QByteArray mp4 = ok("Content-Type: video/mp4\r\nContent-Length: 123456\r\n", QByteArray("\x00\x00\x00\x18", 4));
// Bytes to overwrite in a frame: offset, value.
using Changes = QList<std::pair<int, char>>;

const SniffReport clipReport { "mediahost/v/clip.flv", clip, "123456\r\n", "mp4\r\n" };

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(SniffReport)
Q_DECLARE_METATYPE(TlsSession::Version)

class tst_FrameMatcher final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reports_data();
    void reports();
    void ignoredUrlSuppressesOneReportPerEntry();
    void playlistBodiesWithinBudget();
    void headerTextWithinBudget();
    void fullTableDropsTheOldest();
    void malformedFramesAreSkipped_data();
    void malformedFramesAreSkipped();
    void tlsConnections_data();
    void tlsConnections();

private:
    // Feeds each frame from a buffer of exactly its captured size, so a read past it is a memory error.
    void feed(const QByteArray &frame, qint64 at = start, int link = 1)
    {
        auto buffer = std::make_unique_for_overwrite<uchar[]>(size_t(frame.size()));
        std::memcpy(buffer.get(), frame.constData(), size_t(frame.size()));
        matcher->handleFrame(link, buffer.get(), frame.size(), at);
    }
    void compare(const QList<SniffReport> &expected) const
    {
        QCOMPARE(received.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(received[i].url, expected[i].url);
            QCOMPARE(received[i].requestHeader, expected[i].requestHeader);
            QCOMPARE(received[i].contentLength, expected[i].contentLength);
            QCOMPARE(received[i].mediaType, expected[i].mediaType);
            QCOMPARE(received[i].body, expected[i].body);
        }
    }

    std::unique_ptr<IgnoreList> ignored;
    QList<SniffReport> received;
    std::unique_ptr<FrameMatcher> matcher;
};

void tst_FrameMatcher::init()
{
    received.clear();
    ignored = std::make_unique<IgnoreList>();
    matcher = std::make_unique<FrameMatcher>(*ignored, [this](SniffReport report) { received.append(report); });
}

void tst_FrameMatcher::reports_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QList<SniffReport>>("expected");

    const QByteArray noHost = get("/v/a.mp4", {});
    const QByteArray spaced = "GET /a HTTP/1.1\r\nHost:  mediahost \r\n\r\n";
    const auto a = [](const QByteArray &url, const QByteArray &request, const QByteArray &length = "123456\r\n",
                      const QByteArray &type = "mp4\r\n") {
        return QList<SniffReport> { { url, request, length, type } };
    };
    QTest::newRow("video type, host line") << exchange({ clip }, { mp4 }) << QList<SniffReport> { clipReport };
    QTest::newRow("header through the blank line only")
        << exchange({ clip + "body" }, { mp4 }) << QList<SniffReport> { clipReport };
    QTest::newRow("no host line: server address") << exchange({ noHost }, { mp4 }) << a("192.0.2.7/v/a.mp4", noHost);
    QTest::newRow("host of spaces: server address") << exchange({ get("/v/a.mp4", "Host:    \r\n") }, { mp4 })
                                                    << a("192.0.2.7/v/a.mp4", get("/v/a.mp4", "Host:    \r\n"));
    QTest::newRow("spaces around host") << exchange({ spaced }, { mp4 }) << a("mediahost/a", spaced);
    QTest::newRow("IPv6, no host line") << exchange({ noHost }, { mp4 }, true)
                                        << a("[2001:db8::7]:8080/v/a.mp4", noHost);
    for (const auto &[name, link] : { std::pair { "VLAN tag", Link::Vlan },
                                      { "raw IP (tun)", Link::Raw },
                                      { "Linux cooked capture", Link::LinuxSll },
                                      { "Linux cooked capture v2", Link::LinuxSll2 } }) {
        QTest::newRow(name) << exchange({ clip }, { mp4 }, false, link) << QList<SniffReport> { clipReport };
    }
    const QByteArray first = get("/1"), second = get("/2");
    QTest::newRow("two requests on one connection, in order")
        << exchange({ first, second },
                    { ok("Content-Type: video/mp4\r\nContent-Length: 1\r\n", "x"),
                      ok("Content-Type: video/webm\r\nContent-Length: 2\r\n", "yy") })
        << QList<SniffReport> { { "mediahost/1", first, "1\r\n", "mp4\r\n" },
                                { "mediahost/2", second, "2\r\n", "webm\r\n" } };
    {
        TcpFlow c(client, server);
        TcpFlow otherPort({ client.address, 50001 }, server);
        TcpFlow otherServer(client, { { 192, 0, 2, 8 }, 80 });
        QTest::newRow("response on another connection")
            << QList<Step> { { c.out(clip) }, { otherPort.in(mp4) }, { otherServer.in(mp4) } } << QList<SniffReport> {};
    }
    QTest::newRow("x-flv type: reported at its header")
        << exchange({ clip }, { ok("Content-Type: video/x-flv\r\nContent-Length: 999\r\n"), flvBody, flvBody })
        << a("mediahost/v/clip.flv", clip, "999\r\n", "x-flv\r\n");
    QTest::newRow("FLV body without a video type")
        << exchange({ clip }, { ok("Content-Type: application/octet-stream\r\nContent-Length: 9\r\n", flvBody) })
        << a("mediahost/v/clip.flv", clip, "9\r\n", "x-flv");
    QTest::newRow("ID3 body after a header alone, signature split") << exchange(
        { clip }, { ok("Content-type: audio/mpeg\r\nContent-Length: 7\r\n"), "I", QByteArray("D3\x03\x00\x00\x00", 6) })
                                                                    << a("mediahost/v/clip.flv", clip, "7\r\n", "MP3");
    QTest::newRow("other body") << exchange({ clip }, { ok("Content-Length: 4\r\n", "RIFF") }) << QList<SniffReport> {};
    QTest::newRow("field names in any case")
        << exchange({ clip }, { ok("content-LENGTH: 5\r\nContent-type: video/mp4\r\n", "12345") })
        << a("mediahost/v/clip.flv", clip, "5\r\n");
    QTest::newRow("media type parameters left out")
        << exchange({ clip }, { ok("Content-Type: video/webm; charset=utf-8\r\nContent-Length: 2\r\n", "ab") })
        << a("mediahost/v/clip.flv", clip, "2\r\n", "webm\r\n");
    const QByteArray proxied = "GET http://10.231.0.1:8081/clip.webm HTTP/1.1\r\nHost: 10.231.0.1:8081\r\n\r\n";
    QTest::newRow("absolute target through a proxy")
        << exchange({ proxied }, { mp4 }) << a("10.231.0.1:8081/clip.webm", proxied);
    QTest::newRow("206: the total from Content-Range")
        << exchange({ clip },
                    { "HTTP/1.1 206 Partial Content\r\nContent-Type: video/mp4\r\n"
                      "Content-Range: bytes 0-3/5000000\r\nContent-Length: 4\r\n\r\nabcd" })
        << a("mediahost/v/clip.flv", clip, "5000000\r\n");
    const QByteArray head = ok("Content-Type: video/mp4\r\nContent-Length: 123456\r\n");
    QTest::newRow("request and header split over segments")
        << exchange({ clip.left(7), clip.mid(7) }, { head.left(20), head.mid(20, 25), head.mid(45) })
        << QList<SniffReport> { clipReport };
    {
        TcpFlow c(client, server);
        const QByteArray opening = c.open(), accepted = c.accept(), request = c.out(clip);
        const QByteArray start = c.in(mp4.left(10)), middle = c.in(mp4.mid(10, 30)), rest = c.in(mp4.mid(40));
        const QByteArray overlap = c.inAt(5, mp4.mid(5, 40));
        QTest::newRow("segments out of order, retransmitted, overlapping")
            << QList<Step> { { opening }, { accepted }, { request }, { rest }, { middle },
                             { overlap }, { middle },   { start },   { start } }
            << QList<SniffReport> { clipReport };
    }
    const QByteArray next = get("/next");
    {
        TcpFlow c(client, server);
        const QByteArray request = c.out(clip);
        const QByteArray page = c.in(ok("Content-Type: text/html\r\nContent-Length: 2000\r\n", QByteArray(1000, 'h')));
        c.in(QByteArray(1000, 'h'));
        QTest::newRow("missed segment: the receiver's acknowledgement passes it")
            << QList<Step> { { request },
                             { page },
                             { c.out(next) },
                             { c.in(ok("Content-Type: video/ogg\r\nContent-Length: 3\r\n", "abc")) } }
            << a("mediahost/next", next, "3\r\n", "ogg\r\n");
    }
    {
        TcpFlow c(client, server);
        QTest::newRow("chunked: unknown size once 100,000 body bytes passed, the next answer found")
            << QList<Step> { { c.out(clip) },
                             { c.in(ok("Content-Type: video/mp4\r\nTransfer-Encoding: gzip, chunked\r\n")
                                    + chunk(60000, ";ext=1").left(5)) },
                             { c.in(chunk(60000, ";ext=1").mid(5)) },
                             { c.in(chunk(39999)) },
                             { c.in(chunk(1)) },
                             { c.in("0\r\nX-Trailer: 1\r\n\r\n") },
                             { c.out(next) },
                             { c.in(ok("Content-Type: video/webm\r\nContent-Length: 5\r\n", "12345")) } }
            << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "?", "mp4\r\n" },
                                    { "mediahost/next", next, "5\r\n", "webm\r\n" } };
    }
    const QByteArray longTarget = '/' + QByteArray(6000, 'p');
    QTest::newRow("long URL whole") << exchange({ get(longTarget) }, { mp4 })
                                    << a("mediahost" + longTarget, get(longTarget));
    const QByteArray playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\nv0_000.ts\n#EXT-X-ENDLIST\n";
    // A zlib stream, as servers send for "deflate".
    const QByteArray deflated = qCompress(playlist).mid(4);
    {
        TcpFlow c(client, server);
        QTest::newRow("HLS by type, deflated and chunked: told with its body at the end") << QList<Step> {
            { c.out(clip) },
            { c.in(ok("Content-Type: application/vnd.apple.mpegurl\r\nContent-Encoding: deflate\r\n"
                      "Transfer-Encoding: chunked\r\n")
                   + QByteArray::number(deflated.size() - 5, 16) + "\r\n" + deflated.chopped(5) + "\r\n") },
            { c.in("5\r\n" + deflated.right(5) + "\r\n0\r\n\r\n") }
        } << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "?", "HLS", playlist } };
    }
    const QByteArray playlistLength = QByteArray::number(playlist.size()) + "\r\n";
    QTest::newRow("playlist by its first line, signature split")
        << exchange({ clip },
                    { ok("Content-Type: text/plain\r\nContent-Length: " + playlistLength, playlist.left(3)),
                      playlist.mid(3) })
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, playlistLength, "HLS", playlist } };
    const QByteArray mpd = "<?xml version=\"1.0\"?>\n<MPD type=\"static\"></MPD>\n";
    const QByteArray mpdLength = QByteArray::number(mpd.size()) + "\r\n";
    QTest::newRow("XML whose root is an MPD")
        << exchange({ clip }, { ok("Content-Length: " + mpdLength, mpd) })
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, mpdLength, "DASH", mpd } };
    QTest::newRow("other XML") << exchange(
        { clip }, { ok("Content-Type: text/xml\r\nContent-Length: 29\r\n", "<?xml version=\"1.0\"?><rss/>\n") })
                               << QList<SniffReport> {};
    QTest::newRow("connection idle more than 60 s forgotten")
        << exchange({ clip }, { mp4 }, false, Link::Ethernet, 61) << QList<SniffReport> {};
    QTest::newRow("connection idle exactly 60 s kept")
        << exchange({ clip }, { mp4 }, false, Link::Ethernet, 60) << QList<SniffReport> { clipReport };
}

void tst_FrameMatcher::reports()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QList<SniffReport>, expected);
    for (const Step &step : steps) {
        feed(step.frame, step.at, step.link);
    }
    compare(expected);
}

void tst_FrameMatcher::ignoredUrlSuppressesOneReportPerEntry()
{
    ignored->add("mediahost/v/clip.flv", 2);
    ignored->add("mediahost/v/other.flv", 1);
    TcpFlow c(client, server);
    for (int i = 0; i < 3; ++i) {
        feed(c.out(clip));
        feed(c.in(ok("Content-Type: video/mp4\r\nContent-Length: 1\r\n", "x")));
    }
    compare({ { "mediahost/v/clip.flv", clip, "1\r\n", "mp4\r\n" } });
    QVERIFY(ignored->take("mediahost/v/other.flv"));
    QVERIFY(!ignored->take("mediahost/v/other.flv"));
}

void tst_FrameMatcher::playlistBodiesWithinBudget()
{
    ConnectionLimits limits;
    limits.keptBodyBytes = 100;
    matcher = std::make_unique<FrameMatcher>(
        *ignored, [this](SniffReport report) { received.append(report); }, nullptr, limits);
    const QByteArray small = "#EXTM3U\n" + QByteArray(51, '#') + '\n';
    const QByteArray large = "#EXTM3U\n" + QByteArray(81, '#') + '\n';
    const QByteArray type = "Content-Type: application/x-mpegURL\r\nContent-Length: ";
    TcpFlow first(client, server), second({ client.address, 50001 }, server);
    feed(first.out(clip));
    feed(first.in(ok(type + QByteArray::number(small.size()) + "\r\n", small.left(20))));
    // While the first is kept the second does not fit beside it: it is told without its body.
    feed(second.out(clip));
    feed(second.in(ok(type + QByteArray::number(large.size()) + "\r\n", large)));
    feed(first.in(small.mid(20)));
    QCOMPARE(matcher->connections().keptBodyBytes(), 0);
    const QByteArray length = QByteArray::number(large.size()) + "\r\n";
    compare({ { "mediahost/v/clip.flv", clip, length, "HLS", {} },
              { "mediahost/v/clip.flv", clip, QByteArray::number(small.size()) + "\r\n", "HLS", small } });
}

void tst_FrameMatcher::headerTextWithinBudget()
{
    ConnectionLimits limits;
    limits.headerBytes = 256 * 1024;
    matcher = std::make_unique<FrameMatcher>(
        *ignored, [this](SniffReport report) { received.append(report); }, nullptr, limits);
    // Requests whose headers never end, each near the parser's own limit: only the first few fit in the budget.
    QList<TcpFlow> endless;
    for (quint16 port = 40000; port < 40020; ++port) {
        endless.append(TcpFlow({ client.address, port }, server));
        feed(endless.last().out("GET /a HTTP/1.1\r\nX-Pad: " + QByteArray(60'000, 'a')));
        QVERIFY(matcher->connections().headerBytes() <= limits.headerBytes);
    }
    QVERIFY(matcher->connections().headerBytes() > limits.headerBytes / 2);
    for (TcpFlow &flow : endless) {
        feed(flow.out({}, Tcp::rst | Tcp::ack));
    }
    QCOMPARE(matcher->connections().headerBytes(), 0);
    QCOMPARE(matcher->connections().overallBytes(), 0);
    TcpFlow after({ client.address, 50001 }, server);
    feed(after.out(clip));
    feed(after.in(ok("Content-Type: video/mp4\r\nContent-Length: 1\r\n", "x")));
    compare({ { "mediahost/v/clip.flv", clip, "1\r\n", "mp4\r\n" } });
}

void tst_FrameMatcher::fullTableDropsTheOldest()
{
    ConnectionLimits limits;
    limits.connections = 2;
    matcher = std::make_unique<FrameMatcher>(
        *ignored, [this](SniffReport report) { received.append(report); }, nullptr, limits);
    std::vector<TcpFlow> flows;
    for (quint16 port = 50000; port < 50003; ++port) {
        flows.emplace_back(Endpoint { client.address, port }, server);
    }
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^Connection table full \\(2 connections\\)")));
    for (TcpFlow &flow : flows) {
        feed(flow.out(clip));
    }
    // The newest first: the answer on the dropped connection opens a new one and drops another.
    for (auto flow = flows.rbegin(); flow != flows.rend(); ++flow) {
        feed(flow->in(mp4));
    }
    compare({ clipReport, clipReport });
    QCOMPARE(matcher->connections().size(), 2);
}

void tst_FrameMatcher::malformedFramesAreSkipped_data()
{
    QTest::addColumn<bool>("v6");
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<int>("cut");

    const int ip = FrameOffset::ip, tcp = FrameOffset::tcp;
    const Changes flvInTcpOptions { { tcp + 16, 'F' }, { tcp + 17, 'L' }, { tcp + 18, 'V' } };
    QTest::newRow("cut in Ethernet header") << false << Changes {} << 13;
    QTest::newRow("cut in IPv4 header") << false << Changes {} << ip + 19;
    QTest::newRow("cut in TCP header") << false << Changes {} << tcp + 19;
    QTest::newRow("IPv4 header length past the end") << false << Changes { { ip, 0x4f } } << 0;
    QTest::newRow("TCP header length past the end") << false << Changes { { tcp + 12, char(0xf0) } } << 0;
    QTest::newRow("IPv4 header length below 20")
        << false << (flvInTcpOptions + Changes { { ip, 0x44 }, { tcp + 8, 0x50 } }) << 0;
    QTest::newRow("TCP header length below 20") << false << (flvInTcpOptions + Changes { { tcp + 12, 0x40 } }) << 0;
    QTest::newRow("Ethernet padding past the IPv4 length") << false << Changes { { ip + 3, 40 } } << 0;
    QTest::newRow("UDP") << false << Changes { { ip + 9, 17 } } << 0;
    QTest::newRow("later fragment") << false << Changes { { ip + 6, 0 }, { ip + 7, char(0xb9) } } << 0;
    const int hop = FrameOffset6::hopByHop, options = FrameOffset6::destinationOptions;
    QTest::newRow("IPv6 later fragment") << true
                                         << Changes { { hop, 44 }, { options + 2, 0x01 }, { options + 3, 0x00 } } << 0;
    QTest::newRow("IPv6 extension header past the end") << true << Changes { { hop + 1, char(0xff) } } << 0;
}

void tst_FrameMatcher::malformedFramesAreSkipped()
{
    QFETCH(bool, v6);
    QFETCH(Changes, changes);
    QFETCH(int, cut);
    // The body frame, read without its checks, carries an FLV signature where the body starts.
    TcpFlow c(v6 ? client6 : client, v6 ? server6 : server);
    feed(c.out(clip));
    feed(c.in(ok("Content-Length: 9\r\n")));
    const QByteArray body = c.in(flvBody);
    QByteArray damaged = cut > 0 ? body.left(cut) : body;
    for (const auto &[at, value] : changes) {
        damaged[at] = value;
    }
    feed(damaged);
    QVERIFY(received.isEmpty());
    feed(body);
    compare({ { "mediahost/v/clip.flv", clip, "9\r\n", "x-flv" } });
}

// Real TLS sessions, on a port that says nothing about TLS, with the key log's lines there from the start or only
// after the connection was closed.
void tst_FrameMatcher::tlsConnections_data()
{
    QTest::addColumn<TlsSession::Version>("version");
    QTest::addColumn<QByteArray>("alpn");
    // The flights that go past before the keys are known; -1: all of them, and the close.
    QTest::addColumn<int>("keysAfter");
    QTest::addColumn<SniffReport>("expected");
    const QByteArray h2Request = "GET /clip.mp4 HTTP/1.1\r\nHost: media.test:8443\r\nrange: bytes=0-\r\n\r\n";
    const SniffReport h2 { "https://media.test:8443/clip.mp4", h2Request, "300000\r\n", "mp4\r\n" };
    const QByteArray h1Request = "GET /clip.mp4 HTTP/1.1\r\nHost: media.test:8443\r\n\r\n";
    QTest::newRow("TLS 1.3, HTTP/2, keys after the close")
        << TlsSession::Version::Tls13 << QByteArray("h2") << -1 << h2;
    QTest::newRow("TLS 1.2, HTTP/1.1") << TlsSession::Version::Tls12 << QByteArray("http/1.1") << 0
                                       << SniffReport { "https://media.test:8443/clip.mp4", h1Request, "300000\r\n",
                                                        "mp4\r\n" };
}

void tst_FrameMatcher::tlsConnections()
{
    QFETCH(TlsSession::Version, version);
    QFETCH(QByteArray, alpn);
    QFETCH(int, keysAfter);
    QFETCH(SniffReport, expected);
    KeyLog keys;
    matcher = std::make_unique<FrameMatcher>(
        *ignored, [this](SniffReport report) { received.append(report); }, &keys);
    TlsSession session(version, alpn);
    const QByteArray body(300'000, 'v');
    if (alpn == "h2") {
        // A server's SETTINGS may come before the client's first bytes tell which HTTP this is.
        session.serverSends(QByteArray::fromHex("000000040000000000"));
        session.clientSends(TlsSession::http2Request("media.test:8443", "/clip.mp4"));
        session.serverSends(TlsSession::http2AnswerHead(1, "video/mp4", body.size())
                            + TlsSession::http2Data(1, body.first(16'000), false));
    } else {
        session.clientSends(QByteArray(expected.requestHeader));
        session.serverSends("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: 300000\r\n\r\n" + body);
    }
    TcpFlow flow(client, Endpoint { server.address, 8443 });
    feed(flow.open());
    feed(flow.accept());
    const QList<TlsSession::Flight> flights = session.takeFlights();
    for (qsizetype i = 0; i < flights.size(); ++i) {
        if (i == keysAfter) {
            keys.addText(session.keyLog());
        }
        for (qsizetype at = 0; at < flights[i].bytes.size(); at += 1400) {
            const QByteArray part = flights[i].bytes.mid(at, 1400);
            feed(flights[i].fromClient ? flow.out(part) : flow.in(part));
        }
    }
    feed(flow.out({}, Tcp::fin | Tcp::ack));
    feed(flow.in({}, Tcp::fin | Tcp::ack));
    if (keysAfter < 0) {
        QVERIFY(received.isEmpty());
        keys.addText(session.keyLog());
        // Any later frame, a second on, has the waiting connection look again.
        feed(TcpFlow(client6, server6).out(clip), start + 1);
    }
    compare({ expected });
}

QTEST_GUILESS_MAIN(tst_FrameMatcher)
#include "tst_FrameMatcher.moc"
