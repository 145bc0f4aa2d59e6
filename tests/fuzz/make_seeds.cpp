// Writes the fuzzer's starting corpus: frame sequences like the unit tests', one file each.
#include "FrameBuilder.h"
#include "FuzzInput.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

const Endpoint client { { 10, 0, 0, 1 }, 50000 };
const Endpoint server { { 192, 0, 2, 7 }, 80 };

QByteArray out(const QByteArray &payload, quint8 advance = 0, quint16 port = client.port)
{
    return fuzzRecord(advance, tcpFrame({ client.address, port }, server, payload));
}

QByteArray in(const QByteArray &payload, quint8 advance = 0)
{
    return fuzzRecord(advance, tcpFrame(server, client, payload));
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
    const QByteArray flvHead = "HTTP/1.1 200 OK\r\nContent-Type: video/x-flv\r\nContent-Length: 999\r\n\r\n";
    const QByteArray flv("FLV\x01\x05\x00\x00\x00\x09", 9);
    QByteArray ipv6 = tcpFrame(server, client, flv);
    ipv6[12] = char(0x86);
    ipv6[13] = char(0xdd);
    const QByteArray pad(8192 - 42, 'a');

    const QList<QByteArray> seeds {
        out(get) + in(mp4),
        out(noHost) + in("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nID3\x03"),
        out(get) + in(flvHead) + in(flv) + in("\x01\x02\x03 body") + in(flv),
        out(get) + out(noHost) + in(mp4) + in(flvHead + flv),
        out(get) + out(noHost, 61, 50001) + in(mp4) + in(mp4),
        out(get) + in("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + flv),
        out(get) + in("HTTP/1.1 200 OK\r\nX-Pad: " + pad + "\r\nContent-Type: video/mp4\r\n\r\n"),
        out(get) + fuzzRecord(0, ipv6) + fuzzRecord(0, tcpFrame(server, client, mp4).left(40)) + in(mp4),
    };
    for (qsizetype i = 0; i < seeds.size(); ++i) {
        QFile file(QStringLiteral("%1/start-%2").arg(QString::fromLocal8Bit(argv[1])).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(seeds[i]) != seeds[i].size()) {
            return 1;
        }
    }
    return 0;
}
