// The memory the capture engine holds when the traffic is written to make it hold as much as it can: requests
// whose headers never end, pipelined requests never answered, holes before header bytes, playlists that stop
// short, TLS records whose keys never come, HTTP/2 requests never answered, and a table full of connections.
// Everything stays open while the engine's heap is measured. CORVANE_BENCH_KEEP=folder keeps the capture file
// there, to replay it onto an adapter the window watches.
#include "CaptureRead.h"
#include "CaptureWrite.h"
#include "FrameMatcher.h"
#include "IgnoreList.h"
#include "KeyLog.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr qsizetype segment = 1448;
const Endpoint server { { 192, 0, 2, 7 }, 80 };
const Endpoint tlsServer { { 192, 0, 2, 8 }, 443 };

Endpoint client(int index)
{
    return Endpoint { { 10, quint8(index >> 16), quint8(index >> 8), quint8(index) }, quint16(1024 + index % 60000) };
}

QByteArray get(int index, qsizetype padding = 0)
{
    return "GET /v/" + QByteArray::number(index)
        + ".mp4 HTTP/1.1\r\nHost: media.example\r\nX-Pad: " + QByteArray(padding, 'p') + "\r\n\r\n";
}

// Returns the key log lines of the sessions whose keys the engine is given.
QByteArray writeCapture(const QString &path)
{
    CaptureWrite capture(path, segment);
    if (!capture.isOpen()) {
        return {};
    }
    int next = 0;
    const auto flow = [&]() { return TcpFlow(client(next++), server); };
    // Connections that only asked for something: the table fills up.
    for (int i = 0; i < 18'000; ++i) {
        TcpFlow asking = flow();
        capture.write(asking.out(get(i)));
    }
    TlsSession unkeyed(TlsSession::Version::Tls13, "http/1.1");
    unkeyed.clientSends(get(0));
    unkeyed.serverSends(QByteArray(3 << 20, 'd'));
    const QList<TlsSession::Flight> unkeyedFlights = unkeyed.takeFlights();
    for (int i = 0; i < 30; ++i) {
        TcpFlow waiting(client(next++), tlsServer);
        capture.write(waiting, unkeyedFlights);
    }
    TlsSession keyed(TlsSession::Version::Tls13, "h2");
    QByteArray requests = TlsSession::http2Request("media.test", "/v/0.mp4");
    for (quint32 stream = 3; stream < 2000; stream += 2) {
        requests += TlsSession::http2Get(stream, "/v/" + QByteArray::number(stream) + ".mp4", 9);
    }
    keyed.clientSends(requests);
    const QList<TlsSession::Flight> keyedFlights = keyed.takeFlights();
    for (int i = 0; i < 50; ++i) {
        TcpFlow unanswered(client(next++), tlsServer);
        capture.write(unanswered, keyedFlights);
    }
    // The answer's first byte never comes: all that follows may be header and is held.
    for (int i = 0; i < 100; ++i) {
        TcpFlow holed = flow();
        capture.write(holed.open());
        capture.write(holed.accept());
        capture.write(holed.out(get(i)));
        for (quint32 offset = 1; offset + segment < (1 << 20); offset += segment) {
            capture.write(holed.inAt(offset, QByteArray(segment, 'h')));
        }
    }
    for (int i = 0; i < 20; ++i) {
        TcpFlow playlist = flow();
        capture.write(playlist.out(get(i)));
        capture.write(playlist.in("HTTP/1.1 200 OK\r\nContent-Type: application/vnd.apple.mpegurl\r\n"
                                  "Content-Length: 2000000\r\n\r\n#EXTM3U\n"));
        for (int sent = 0; sent < 1'900'000; sent += segment) {
            capture.write(playlist.in(QByteArray(segment, '#')));
        }
    }
    for (int i = 0; i < 1000; ++i) {
        TcpFlow endless = flow();
        capture.write(endless.out(get(i, 60'000).chopped(4)));
    }
    for (int i = 0; i < 500; ++i) {
        TcpFlow pipelined = flow();
        for (int request = 0; request < 31; ++request) {
            capture.write(pipelined.out(get(request, 2000)));
        }
    }
    return keyed.keyLog();
}

} // namespace

int main()
{
    // The log lines of what is given up are not what is measured here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir temporary;
    const QString path = capturePath(temporary, QStringLiteral("hostile.pcap"));
    const QByteArray keyLines = writeCapture(path);
    if (keyLines.isEmpty()) {
        std::fprintf(stderr, "cannot write the capture file\n");
        return 1;
    }
    IgnoreList ignored;
    KeyLog keys;
    keys.addText(keyLines);
    qint64 reports = 0;
    const qint64 before = heapInUse();
    FrameMatcher matcher(
        ignored, [&reports](SniffReport) { ++reports; }, &keys);
    qint64 peak = 0;
    const Run run = readAll(path, [&](const pcap_pkthdr *header, const u_char *data) {
        matcher.handleFrame(DLT_EN10MB, data, qsizetype(header->caplen), qint64(header->ts.tv_sec));
        if (matcher.connections().size() % 1000 == 0) {
            peak = std::max(peak, heapInUse() - before);
        }
    });
    const qint64 held = heapInUse() - before;
    const ConnectionTable &table = matcher.connections();
    const ConnectionLimits limits;
    const auto mib = [](qint64 bytes) { return double(bytes) / 1048576.0; };
    std::printf("hostile capture: %lld frames, %.0f MiB, %lld connections open\n", run.frames, mib(run.bytes),
                qint64(table.size()));
    std::printf("engine heap held: %.1f MiB at the end, %.1f MiB at most; budgets in use: holes %.1f, TLS records "
                "%.1f, playlists %.1f, "
                "header text %.1f, all %.1f of %.0f MiB\n",
                mib(held), mib(std::max(peak, held)), mib(table.heldBytes()), mib(table.tlsHeldBytes()),
                mib(table.keptBodyBytes()), mib(table.headerBytes()), mib(table.overallBytes()),
                mib(limits.overallBytes));
    if (qEnvironmentVariableIsSet("CORVANE_BENCH_KEEP")) {
        std::printf("capture kept at %s\n", qPrintable(path));
    }
    return table.overallBytes() <= limits.overallBytes ? 0 : 1;
}
