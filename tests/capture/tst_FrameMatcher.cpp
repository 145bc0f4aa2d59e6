#include "FrameBuilder.h"
#include "FrameMatcher.h"
#include "IgnoreList.h"

#include <QTest>

#include <memory>

namespace {

const Endpoint client { { 10, 0, 0, 1 }, 50000 };
const Endpoint server { { 192, 0, 2, 7 }, 80 };
constexpr qint64 start = 1'700'000'000;

struct Step
{
    QByteArray frame;
    qint64 at = start;
};

QByteArray get(const QByteArray &target, const QByteArray &hostLine = "Host: mediahost\r\n")
{
    return "GET " + target + " HTTP/1.1\r\n" + hostLine + "Accept: */*\r\n\r\n";
}

QByteArray ok(const QByteArray &headerLines, const QByteArray &body = {})
{
    return "HTTP/1.1 200 OK\r\n" + headerLines + "\r\n" + body;
}

Step out(const QByteArray &payload, qint64 at = start, quint16 clientPort = client.port)
{
    return { tcpFrame({ client.address, clientPort }, server, payload), at };
}

Step in(const QByteArray &payload, qint64 at = start, const Endpoint &from = server, const Endpoint &to = client)
{
    return { tcpFrame(from, to, payload), at };
}

const QByteArray flvBody("FLV\x01\x05\x00\x00\x00\x09", 9);

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(SniffReport)

class tst_FrameMatcher final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reports_data();
    void reports();
    void ignoredUrlSuppressesOneReportPerEntry();
    void malformedFramesAreSkipped_data();
    void malformedFramesAreSkipped();

private:
    // Feeds each frame from a buffer of exactly its captured size, so a read past it is a memory error.
    void feed(const QByteArray &frame, qint64 at = start)
    {
        auto buffer = std::make_unique_for_overwrite<uchar[]>(size_t(frame.size()));
        std::memcpy(buffer.get(), frame.constData(), size_t(frame.size()));
        matcher->handleFrame(buffer.get(), frame.size(), at);
    }
    void compare(const QList<SniffReport> &expected) const
    {
        QCOMPARE(received.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(received[i].url, expected[i].url);
            QCOMPARE(received[i].requestHeader, expected[i].requestHeader);
            QCOMPARE(received[i].contentLength, expected[i].contentLength);
            QCOMPARE(received[i].mediaType, expected[i].mediaType);
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
    matcher = std::make_unique<FrameMatcher>(client.address, *ignored,
                                             [this](SniffReport report) { received.append(report); });
}

void tst_FrameMatcher::reports_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QList<SniffReport>>("expected");

    const QByteArray clip = get("/v/clip.flv");
    const QByteArray mp4 = ok("Content-Type: video/mp4\r\nContent-Length: 123456\r\n", "\x00\x00\x00\x18");
    QTest::newRow("video type, host line")
        << QList<Step> { out(clip), in(mp4) }
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "123456\r\n", "mp4\r\n" } };
    QTest::newRow("header through the blank line only")
        << QList<Step> { out(clip + "body"), in(mp4) }
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "123456\r\n", "mp4\r\n" } };
    const QByteArray noHost = get("/v/a.mp4", {});
    QTest::newRow("no host line: server address")
        << QList<Step> { out(noHost), in(mp4) }
        << QList<SniffReport> { { "192.0.2.7/v/a.mp4", noHost, "123456\r\n", "mp4\r\n" } };
    const QByteArray blankHost = get("/v/a.mp4", "Host:    \r\n");
    QTest::newRow("host of spaces: server address")
        << QList<Step> { out(blankHost), in(mp4) }
        << QList<SniffReport> { { "192.0.2.7/v/a.mp4", blankHost, "123456\r\n", "mp4\r\n" } };
    const QByteArray spaced = "GET /a HTTP/1.1\r\nHost:  mediahost \r\n\r\n";
    QTest::newRow("spaces around host") << QList<Step> { out(spaced), in(mp4) }
                                        << QList<SniffReport> { { "mediahost/a", spaced, "123456\r\n", "mp4\r\n" } };

    const QByteArray first = get("/1"), second = get("/2");
    QTest::newRow("two requests on one connection, in order")
        << QList<Step> { out(first), out(second), in(ok("Content-Type: video/mp4\r\nContent-Length: 1\r\n")),
                         in(ok("Content-Type: video/webm\r\nContent-Length: 2\r\n")) }
        << QList<SniffReport> { { "mediahost/1", first, "1\r\n", "mp4\r\n" },
                                { "mediahost/2", second, "2\r\n", "webm\r\n" } };
    QTest::newRow("response to another client port")
        << QList<Step> { out(clip), in(mp4, start, server, { client.address, 50001 }) } << QList<SniffReport> {};
    QTest::newRow("response from another server")
        << QList<Step> { out(clip), in(mp4, start, { { 192, 0, 2, 8 }, 80 }) } << QList<SniffReport> {};

    const QByteArray flvHeader = ok("Content-Type: video/x-flv\r\nContent-Length: 999\r\n");
    QTest::newRow("x-flv header filling its frame: reported by each FLV frame")
        << QList<Step> { out(clip), in(flvHeader), in(flvBody), in("\x01\x02\x03 more body"), in(flvBody) }
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "999\r\n", "x-flv" },
                                { "mediahost/v/clip.flv", clip, "999\r\n", "x-flv" } };
    QTest::newRow("x-flv header with body bytes: reported at once")
        << QList<Step> { out(clip), in(flvHeader + flvBody) }
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "999\r\n", "x-flv\r\n" } };
    QTest::newRow("FLV body without a video type")
        << QList<Step> { out(clip), in(ok("Content-Type: application/octet-stream\r\nContent-Length: 9\r\n", flvBody)) }
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "9\r\n", "x-flv" } };
    QTest::newRow("ID3 body") << QList<Step> { out(clip), in(ok("Content-Length: 7\r\n", "ID3\x03\x00\x00\x00")) }
                              << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "7\r\n", "MP3" } };
    QTest::newRow("other body") << QList<Step> { out(clip), in(ok("Content-Length: 4\r\n", "RIFF")) }
                                << QList<SniffReport> {};
    QTest::newRow("no Content-Length") << QList<Step> { out(clip), in(ok("Content-Type: video/mp4\r\n")) }
                                       << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "", "mp4\r\n" } };

    // The scan covers exactly the first 8192 payload bytes.
    const QByteArray head = "HTTP/1.1 200 OK\r\nX-Pad: ";
    const QByteArray marker = "\r\nContent-Type: video/";
    const QByteArray pad(8192 - head.size() - marker.size(), 'a');
    QTest::newRow("marker ending at byte 8192") << QList<Step> { out(clip), in(head + pad + marker + "mp4\r\n\r\n") }
                                                << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "", "" } };
    QTest::newRow("marker past byte 8192")
        << QList<Step> { out(clip), in(head + pad + 'a' + marker + "mp4\r\n\r\n") } << QList<SniffReport> {};

    const QByteArray longTarget = '/' + QByteArray(6000, 'p');
    QTest::newRow("long URL whole") << QList<Step> { out(get(longTarget)), in(mp4) }
                                    << QList<SniffReport> { { "mediahost" + longTarget, get(longTarget), "123456\r\n",
                                                              "mp4\r\n" } };

    const QByteArray later = get("/later");
    QTest::newRow("request older than 60 s purged by the next")
        << QList<Step> { out(clip), out(later, start + 61, 50001), in(mp4, start + 62),
                         in(mp4, start + 62, server, { client.address, 50001 }) }
        << QList<SniffReport> { { "mediahost/later", later, "123456\r\n", "mp4\r\n" } };
    QTest::newRow("request of exactly 60 s stays")
        << QList<Step> { out(clip), out(later, start + 60, 50001), in(mp4, start + 62),
                         in(mp4, start + 62, server, { client.address, 50001 }) }
        << QList<SniffReport> { { "mediahost/v/clip.flv", clip, "123456\r\n", "mp4\r\n" },
                                { "mediahost/later", later, "123456\r\n", "mp4\r\n" } };
}

void tst_FrameMatcher::reports()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QList<SniffReport>, expected);
    for (const Step &step : steps) {
        feed(step.frame, step.at);
    }
    compare(expected);
}

void tst_FrameMatcher::ignoredUrlSuppressesOneReportPerEntry()
{
    ignored->add("mediahost/v/clip.flv", 2);
    ignored->add("mediahost/v/other.flv", 1);
    const QByteArray clip = get("/v/clip.flv");
    for (int i = 0; i < 3; ++i) {
        feed(out(clip).frame);
        feed(in(ok("Content-Type: video/mp4\r\n")).frame);
    }
    compare({ { "mediahost/v/clip.flv", clip, "", "mp4\r\n" } });
    QVERIFY(ignored->take("mediahost/v/other.flv"));
    QVERIFY(!ignored->take("mediahost/v/other.flv"));
}

void tst_FrameMatcher::malformedFramesAreSkipped_data()
{
    QTest::addColumn<QByteArray>("frame");

    // Each damaged frame would, read without its check, carry an FLV signature at its payload.
    const QByteArray flv = in(flvBody).frame;
    const auto damaged = [&flv](std::initializer_list<std::pair<int, char>> changes) {
        QByteArray frame = flv;
        for (const auto &[at, value] : changes) {
            frame[at] = value;
        }
        return frame;
    };
    const int ip = FrameOffset::ip, tcp = FrameOffset::tcp;
    const std::initializer_list<std::pair<int, char>> flvInTcpOptions { { tcp + 16, 'F' },
                                                                        { tcp + 17, 'L' },
                                                                        { tcp + 18, 'V' } };
    QTest::newRow("cut in Ethernet header") << flv.left(13);
    QTest::newRow("cut in IPv4 header") << flv.left(ip + 19);
    QTest::newRow("cut in TCP header") << flv.left(tcp + 19);
    QTest::newRow("IPv4 header length past the end") << damaged({ { ip, 0x4f } });
    QTest::newRow("TCP header length past the end") << damaged({ { tcp + 12, char(0xf0) } });
    QByteArray shortIp = damaged(flvInTcpOptions);
    shortIp[ip] = 0x44;
    shortIp[tcp + 8] = 0x50;
    QTest::newRow("IPv4 header length below 20") << shortIp;
    QByteArray shortTcp = damaged(flvInTcpOptions);
    shortTcp[tcp + 12] = 0x40;
    QTest::newRow("TCP header length below 20") << shortTcp;
    QTest::newRow("IPv6 ethertype") << damaged({ { 12, char(0x86) }, { 13, char(0xdd) } });
    QTest::newRow("VLAN tag") << flv.left(12) + QByteArray("\x81\x00\x00\x05", 4) + flv.mid(12);
    QTest::newRow("IP version 6") << damaged({ { ip, 0x65 } });
    QTest::newRow("UDP") << damaged({ { ip + 9, 17 } });
    QTest::newRow("later fragment") << damaged({ { ip + 6, 0 }, { ip + 7, char(0xb9) } });
}

void tst_FrameMatcher::malformedFramesAreSkipped()
{
    QFETCH(QByteArray, frame);
    const QByteArray clip = get("/v/clip.flv");
    feed(out(clip).frame);
    feed(in(ok("Content-Type: video/x-flv\r\nContent-Length: 999\r\n")).frame);
    feed(frame);
    QVERIFY(received.isEmpty());
    feed(in(flvBody).frame);
    compare({ { "mediahost/v/clip.flv", clip, "999\r\n", "x-flv" } });
}

QTEST_GUILESS_MAIN(tst_FrameMatcher)
#include "tst_FrameMatcher.moc"
