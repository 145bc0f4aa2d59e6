// Stream handling speed against the plain libpcap read loop over the same synthetic capture file, and the memory
// that open connections hold.
#include "CaptureRead.h"
#include "FrameBuilder.h"
#include "FrameMatcher.h"
#include "IgnoreList.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

#include <pcap/pcap.h>

namespace {

constexpr int frameCount = 1'000'000;
constexpr int cycleLength = 1000;
constexpr int rounds = 7;
constexpr int openConnections = 10'000;
constexpr int bodySegment = 1460;
const Endpoint client { { 10, 0, 0, 1 }, 0 };
const Endpoint server { { 192, 0, 2, 7 }, 80 };
const Endpoint client6 { { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 }, 0, true };
const Endpoint server6 { { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7 }, 80, true };

QByteArray request(const QByteArray &path)
{
    return "GET " + path
        + " HTTP/1.1\r\nHost: media.example\r\nUser-Agent: bench\r\nAccept: */*\r\nConnection: keep-alive\r\n\r\n";
}

QByteArray response(const QByteArray &head, const QByteArray &body = {})
{
    return "HTTP/1.1 200 OK\r\nServer: bench\r\n" + head + "\r\n" + body;
}

// One download cycle, each exchange on a connection of its own: a few responses that carry media (and one that
// does not), noise, then the body of the download with its acknowledgements.
QList<QByteArray> cycle(quint16 firstPort)
{
    const auto from = [&](int i) { return Endpoint { client.address, quint16(firstPort + i) }; };
    TcpFlow download(from(0), server), live(from(1), server), song(from(2), server), page(from(3), server);
    TcpFlow other(Endpoint { client6.address, firstPort, true }, server6);
    const QByteArray flv = QByteArray("FLV\x01\x05\x00\x00\x00\x09", 9) + QByteArray(1400, '\0');
    const QByteArray html = "<!DOCTYPE html>" + QByteArray(1985, ' ');
    const qint64 downloadLength = qint64(cycleLength) * bodySegment;
    QList<QByteArray> frames {
        download.out(request("/v/clip.mp4")),
        download.in(
            response("Content-Type: video/mp4\r\nContent-Length: " + QByteArray::number(downloadLength) + "\r\n")),
        live.out(request("/v/live.flv")),
        live.in(response("Content-Type: video/x-flv\r\nContent-Length: 1409\r\n")),
        live.in(flv),
        song.out(request("/a/song")),
        song.in(response("Content-Type: audio/mpeg\r\nContent-Length: 4\r\n", "ID3\x04")),
        page.out(request("/index.html")),
        page.in(response("Content-Type: text/html\r\nContent-Length: 2000\r\n", html)),
        other.in(QByteArray(100, 'x')),
    };
    QByteArray udp = tcpFrame(server, from(4), QByteArray(200, 'u'));
    udp[FrameOffset::ip + 9] = 17;
    frames << udp;
    QRandomGenerator random(firstPort);
    while (frames.size() < cycleLength) {
        if (frames.size() % 3 == 2) {
            frames << download.out({});
        } else {
            QByteArray body(bodySegment, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(body.data()), body.size() / 4);
            frames << download.in(body);
        }
    }
    return frames;
}

bool writeCapture(const QString &path)
{
    pcap_t *dead = pcap_open_dead(DLT_EN10MB, 65535);
    pcap_dumper_t *dumper = pcap_dump_open(dead, path.toLocal8Bit().constData());
    if (!dumper) {
        pcap_close(dead);
        return false;
    }
    for (int written = 0, round = 0; written < frameCount; ++round) {
        for (const QByteArray &frame : cycle(quint16(10000 + round * 5 % 50000))) {
            if (written == frameCount) {
                break;
            }
            pcap_pkthdr header {};
            header.ts.tv_sec = 1'700'000'000 + written / 1000;
            header.caplen = header.len = bpf_u_int32(frame.size());
            pcap_dump(reinterpret_cast<u_char *>(dumper), &header, reinterpret_cast<const u_char *>(frame.constData()));
            ++written;
        }
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
    return true;
}

// The heap held by open connections in the middle of a download: handshake, request, response header, one body
// segment each.
bool measureOpenConnections()
{
    QList<QList<QByteArray>> connections;
    for (int i = 0; i < openConnections; ++i) {
        TcpFlow flow(Endpoint { { 10, 0, quint8(i >> 8), quint8(i) }, quint16(20000 + i) }, server);
        connections.append({ flow.open(), flow.accept(), flow.out(request("/v/clip" + QByteArray::number(i) + ".mp4")),
                             flow.in(response("Content-Type: video/mp4\r\nContent-Length: 10485760\r\n")),
                             flow.in(QByteArray(bodySegment, 'b')) });
    }
    IgnoreList ignored;
    qint64 reports = 0;
    const qint64 before = heapInUse();
    {
        FrameMatcher matcher(ignored, [&reports](SniffReport) { ++reports; });
        for (const QList<QByteArray> &frames : std::as_const(connections)) {
            for (const QByteArray &frame : frames) {
                matcher.handleFrame(DLT_EN10MB, reinterpret_cast<const uchar *>(frame.constData()), frame.size(),
                                    1'700'000'000);
            }
        }
        const qint64 held = heapInUse() - before;
        if (matcher.connections().size() != openConnections || reports != openConnections) {
            std::fprintf(stderr, "%lld connections, %lld reports\n", qint64(matcher.connections().size()), reports);
            return false;
        }
        if (held >= 0) {
            std::printf("%d open connections hold %.1f MiB (%.0f bytes each)\n", openConnections,
                        double(held) / 1048576.0, double(held) / openConnections);
        }
    }
    return true;
}

} // namespace

int main()
{
    // The report log lines are not what is measured here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir temporary;
    const QString path = capturePath(temporary, QStringLiteral("frames.pcap"));
    if (!writeCapture(path)) {
        std::fprintf(stderr, "cannot write the capture file\n");
        return 1;
    }

    Run raw, matched;
    qint64 reports = 0;
    for (int round = 0; round < rounds; ++round) {
        const Run plain = readAll(path, [](const pcap_pkthdr *, const u_char *) {});
        IgnoreList ignored;
        FrameMatcher matcher(ignored, [&reports](SniffReport) { ++reports; });
        const Run handled = readAll(path, [&matcher](const pcap_pkthdr *header, const u_char *data) {
            matcher.handleFrame(DLT_EN10MB, data, qsizetype(header->caplen), qint64(header->ts.tv_sec));
        });
        if (plain.frames != frameCount || handled.frames != frameCount) {
            std::fprintf(stderr, "read %lld and %lld frames\n", plain.frames, handled.frames);
            return 1;
        }
        if (round == 0 || plain.seconds < raw.seconds) {
            raw = plain;
        }
        if (round == 0 || handled.seconds < matched.seconds) {
            matched = handled;
        }
    }
    if (reports < rounds * 3 * (frameCount / cycleLength)) {
        std::fprintf(stderr, "unexpected report count %lld\n", reports);
        return 1;
    }
    const double rawRate = double(raw.frames) / raw.seconds;
    const double matchedRate = double(matched.frames) / matched.seconds;
    std::printf("stream handling: %.0f frames/s (raw libpcap read %.0f frames/s, ratio %.2f)\n", matchedRate, rawRate,
                matchedRate / rawRate);
    std::printf("stream handling throughput: %.0f MB/s (raw libpcap read %.0f MB/s, ratio %.2f)\n",
                double(matched.bytes) / matched.seconds / 1e6, double(raw.bytes) / raw.seconds / 1e6,
                matchedRate / rawRate);
    return measureOpenConnections() ? 0 : 1;
}
