// Frame handling speed against the plain libpcap read loop over the same synthetic capture file.
#include "FrameBuilder.h"
#include "FrameMatcher.h"
#include "IgnoreList.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <pcap/pcap.h>

namespace {

constexpr int frameCount = 1'000'000;
constexpr int cycleLength = 1000;
constexpr int rounds = 7;
const Endpoint client { { 10, 0, 0, 1 }, 0 };
const Endpoint server { { 192, 0, 2, 7 }, 80 };

// One download cycle: a few exchanges whose responses carry media (and one that does not), noise, then the
// body of the download with its acknowledgements.
QList<QByteArray> cycle(quint16 port)
{
    const Endpoint from { client.address, port };
    const auto request = [&](const QByteArray &path) {
        return tcpFrame(from, server,
                        "GET " + path
                            + " HTTP/1.1\r\nHost: media.example\r\nUser-Agent: bench\r\n"
                              "Accept: */*\r\nConnection: keep-alive\r\n\r\n");
    };
    const auto response = [&](const QByteArray &head, const QByteArray &body = {}) {
        return tcpFrame(server, from, "HTTP/1.1 200 OK\r\nServer: bench\r\n" + head + "\r\n" + body);
    };
    QList<QByteArray> frames {
        request("/v/clip.mp4"),
        response("Content-Type: video/mp4\r\nContent-Length: 52428800\r\n"),
        request("/v/live.flv"),
        response("Content-Type: video/x-flv\r\nContent-Length: 1048576\r\n"),
        tcpFrame(server, from, QByteArray("FLV\x01\x05\x00\x00\x00\x09", 9) + QByteArray(1400, '\0')),
        request("/a/song"),
        response("Content-Type: audio/mpeg\r\nContent-Length: 4000000\r\n", "ID3\x04"),
        request("/index.html"),
        response("Content-Type: text/html\r\nContent-Length: 2000\r\n", "<!DOCTYPE html>"),
    };
    QByteArray ipv6 = tcpFrame(server, from, QByteArray(100, 'x'));
    ipv6[12] = char(0x86);
    ipv6[13] = char(0xdd);
    QByteArray udp = tcpFrame(server, from, QByteArray(200, 'u'));
    udp[23] = 17;
    frames << ipv6 << udp;
    QRandomGenerator random(port);
    while (frames.size() < cycleLength) {
        if (frames.size() % 3 == 2) {
            frames << tcpFrame(from, server, {});
        } else {
            QByteArray body(1460, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(body.data()), body.size() / 4);
            frames << tcpFrame(server, from, body);
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
        for (const QByteArray &frame : cycle(quint16(40000 + round % 20000))) {
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

struct Run
{
    double seconds = 0;
    qint64 frames = 0;
    qint64 bytes = 0;
};

template<typename Handle>
Run readAll(const QString &path, Handle handle)
{
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t *file = pcap_open_offline(path.toLocal8Bit().constData(), error);
    Run run;
    if (!file) {
        std::fprintf(stderr, "%s\n", error);
        return run;
    }
    QElapsedTimer timer;
    timer.start();
    pcap_pkthdr *header = nullptr;
    const u_char *data = nullptr;
    while (pcap_next_ex(file, &header, &data) == 1) {
        handle(header, data);
        ++run.frames;
        run.bytes += header->caplen;
    }
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    pcap_close(file);
    return run;
}

} // namespace

int main()
{
    // The report log lines are not what is measured here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("frames.pcap"));
    if (!folder.isValid() || !writeCapture(path)) {
        std::fprintf(stderr, "cannot write the capture file\n");
        return 1;
    }

    Run raw, matched;
    qint64 reports = 0;
    for (int round = 0; round < rounds; ++round) {
        const Run plain = readAll(path, [](const pcap_pkthdr *, const u_char *) {});
        IgnoreList ignored;
        FrameMatcher matcher(client.address, ignored, [&reports](SniffReport) { ++reports; });
        const Run handled = readAll(path, [&matcher](const pcap_pkthdr *header, const u_char *data) {
            matcher.handleFrame(data, qsizetype(header->caplen), qint64(header->ts.tv_sec));
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
    std::printf("frame handling: %.0f frames/s (raw libpcap read %.0f frames/s, ratio %.2f)\n", matchedRate, rawRate,
                matchedRate / rawRate);
    std::printf("frame handling throughput: %.0f MB/s (raw libpcap read %.0f MB/s, ratio %.2f)\n",
                double(matched.bytes) / matched.seconds / 1e6, double(raw.bytes) / raw.seconds / 1e6,
                matchedRate / rawRate);
    return 0;
}
