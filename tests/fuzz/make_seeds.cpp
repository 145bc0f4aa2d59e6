// Writes the fuzzer's starting corpus: exchanges like the unit tests', one file each.
#include "FrameBuilder.h"
#include "FuzzInput.h"
#include "TlsSession.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

const Endpoint client { { 10, 0, 0, 1 }, 50000 };
const Endpoint server { { 192, 0, 2, 7 }, 80 };
const Endpoint client6 { { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 }, 50000, true };
const Endpoint server6 { { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7 }, 8080, true };

QByteArray frames(std::initializer_list<QByteArray> list, quint8 advance = 0)
{
    QByteArray records;
    for (const QByteArray &frame : list) {
        records += fuzzRecord(advance, frame);
    }
    return records;
}

// A TLS connection carrying one media exchange, its key log lines first.
QByteArray tlsSeed(TlsSession::Version version, const QByteArray &alpn)
{
    TlsSession session(version, alpn);
    if (alpn == "h2") {
        session.clientSends(TlsSession::http2Request("media.test", "/clip.mp4"));
        session.serverSends(TlsSession::http2AnswerHead(1, "video/mp4", 3000)
                            + TlsSession::http2Data(1, QByteArray(3000, 'v'), true));
    } else {
        session.clientSends("GET /clip.mp4 HTTP/1.1\r\nHost: media.test\r\n\r\n");
        session.serverSends("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: 3000\r\n\r\n"
                            + QByteArray(3000, 'v'));
    }
    TcpFlow flow(client, { server.address, 443 });
    QByteArray input = char(fuzzKeyLog) + fuzzRecord(0, session.keyLog()) + frames({ flow.open(), flow.accept() });
    for (const TlsSession::Flight &flight : session.takeFlights()) {
        for (qsizetype at = 0; at < flight.bytes.size(); at += 1400) {
            const QByteArray part = flight.bytes.mid(at, 1400);
            input += frames({ flight.fromClient ? flow.out(part) : flow.in(part) });
        }
    }
    return input;
}

QByteArray chunk(qsizetype size)
{
    return QByteArray::number(size, 16) + "\r\n" + QByteArray(size, 'c') + "\r\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || !QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 1;
    }
    const QByteArray get = "GET /v/clip.flv HTTP/1.1\r\nHost: mediahost\r\nAccept: */*\r\n\r\n";
    const QByteArray noHost = "GET /v/a.mp4 HTTP/1.1\r\nAccept: */*\r\n\r\n";
    const QByteArray mp4 = "HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: 123456\r\n\r\n";
    const QByteArray flvHead = "HTTP/1.1 200 OK\r\nContent-type: video/x-flv\r\nContent-Length: 999\r\n\r\n";
    const QByteArray flv("FLV\x01\x05\x00\x00\x00\x09", 9);
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nContent-Type: video/webm; codecs=vp9\r\n"
                               "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray partial = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-8/99999\r\n"
                               "Content-Length: 9\r\n\r\n";

    QList<QByteArray> seeds;
    for (const auto &[link, selector] : { std::pair { Link::Ethernet, 0 },
                                          { Link::Vlan, 0 },
                                          { Link::Raw, 1 },
                                          { Link::LinuxSll, 2 },
                                          { Link::LinuxSll2, 3 } }) {
        TcpFlow c(client, server, link);
        seeds << char(selector) + frames({ c.out(get), c.in(mp4) });
    }
    {
        TcpFlow c(client, server);
        seeds << char(0)
                + frames({ c.open(), c.accept(), c.out(get), c.in(flvHead), c.in(flv), c.out(noHost),
                           c.in("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n"), c.in("ID3\x03"),
                           c.out({}, Tcp::fin | Tcp::ack), c.in({}, Tcp::fin | Tcp::ack) });
    }
    {
        TcpFlow c(client, server);
        const QByteArray request = c.out(get + noHost), a = c.in(mp4.left(20)), b = c.in(mp4.mid(20)),
                         d = c.in(partial + flv);
        seeds << char(0) + frames({ request, b, d, a, b }) << char(fuzzSmallLimits) + frames({ request, d, b, a });
    }
    {
        TcpFlow c(client, server);
        seeds << char(0)
                + frames({ c.out(get), c.in(chunked + chunk(40000)), c.in(chunk(30000)),
                           c.in(chunk(30000) + "0\r\n\r\n"), c.out(noHost),
                           c.in("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\n\r\nbody") });
    }
    {
        TcpFlow c(client, server), c6(client6, server6);
        seeds << char(0) + frames({ c6.out(noHost), c6.in(mp4), c.out(get) }) + frames({ c.in(mp4) }, 61);
    }
    {
        QByteArray many(1, char(fuzzSmallLimits));
        for (quint16 port = 40000; port < 40006; ++port) {
            TcpFlow c({ client.address, port }, server);
            many += frames({ c.out(get), c.in(mp4 + QByteArray(3000, 'm')) });
        }
        seeds << many;
    }
    {
        // Playlists: compressed and chunked by type, and one known by its first line.
        const QByteArray playlist = "#EXTM3U\n#EXTINF:4,\nv0_000.ts\n#EXT-X-ENDLIST\n";
        const QByteArray deflated = qCompress(playlist).mid(4);
        const QByteArray mpd = "<?xml version=\"1.0\"?><MPD></MPD>\n";
        TcpFlow c(client, server);
        seeds << char(0)
                + frames(
                     { c.out(get),
                       c.in("HTTP/1.1 200 OK\r\nContent-Type: application/x-mpegURL\r\nContent-Encoding: deflate\r\n"
                            "Transfer-Encoding: chunked\r\n\r\n"
                            + QByteArray::number(deflated.size(), 16) + "\r\n" + deflated + "\r\n0\r\n\r\n"),
                       c.out(get),
                       c.in("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(mpd.size()) + "\r\n\r\n"
                            + mpd) });
    }
    seeds << tlsSeed(TlsSession::Version::Tls13, "h2") << tlsSeed(TlsSession::Version::Tls12, "http/1.1");
    seeds << char(fuzzHttp2) + fuzzRecord(0, TlsSession::http2Request("media.test", "/clip.mp4"))
            + fuzzRecord(1, TlsSession::http2AnswerHead(1, "video/mp4", 50) + TlsSession::http2Data(1, "FLV", true));
    const QByteArray playlist = "#EXTM3U\n#EXTINF:4,\nv0_000.ts\n";
    seeds << char(fuzzHttp2) + fuzzRecord(0, TlsSession::http2Request("media.test", "/a.m3u8"))
            + fuzzRecord(1,
                         TlsSession::http2AnswerHead(1, "application/vnd.apple.mpegurl", playlist.size())
                             + TlsSession::http2Data(1, playlist, true));
    // A header block that refers to one large table entry again and again.
    const QByteArray repeated = QByteArray("\x40\x01x\x7f\xa1\x1e", 6) + QByteArray(4000, 'v') + QByteArray(80, '\xbe');
    const QByteArray head = QByteArray(1, '\0') + char(repeated.size() >> 8) + char(repeated.size() & 0xff)
        + QByteArray("\x01\x04\x00\x00\x00\x01", 6);
    seeds << char(fuzzHttp2) + fuzzRecord(0, TlsSession::http2Request("media.test", "/a"))
            + fuzzRecord(1, head + repeated);
    for (qsizetype i = 0; i < seeds.size(); ++i) {
        QFile file(QStringLiteral("%1/start-%2").arg(QString::fromLocal8Bit(argv[1])).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(seeds[i]) != seeds[i].size()) {
            return 1;
        }
    }
    return 0;
}
