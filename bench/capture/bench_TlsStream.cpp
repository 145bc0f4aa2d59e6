// Decryption and parsing speed of one TLS 1.3 connection carrying a 1 GiB HTTP/2 download, against the plain
// libpcap read of the same capture file, in one run.
#include "CaptureRead.h"
#include "CaptureWrite.h"
#include "FrameBuilder.h"
#include "FrameMatcher.h"
#include "IgnoreList.h"
#include "KeyLog.h"
#include "TlsSession.h"

#include <QTemporaryDir>

#include <cstdio>

#include <pcap/pcap.h>

namespace {

constexpr qint64 downloadBytes = qint64(1) << 30;
constexpr qsizetype piece = 16 << 20;
constexpr qsizetype dataFrame = 16384;
constexpr qsizetype segment = 1448;
constexpr int rounds = 3;
const Endpoint client { { 10, 0, 0, 1 }, 50000 };
const Endpoint server { { 192, 0, 2, 7 }, 443 };

// The download through a real TLS 1.3 session; returns its key log lines.
QByteArray writeCapture(const QString &path)
{
    CaptureWrite capture(path, segment);
    if (!capture.isOpen()) {
        return {};
    }
    TlsSession session(TlsSession::Version::Tls13, "h2");
    session.clientSends(TlsSession::http2Request("media.test", "/film.mp4"));
    session.serverSends(TlsSession::http2AnswerHead(1, "video/mp4", downloadBytes));
    TcpFlow flow(client, server);
    capture.write(flow.open());
    capture.write(flow.accept());
    capture.write(flow, session.takeFlights());
    QByteArray frames;
    const QByteArray payload(dataFrame, 'v');
    for (qint64 sent = 0; sent < downloadBytes; sent += piece) {
        frames.clear();
        for (qsizetype at = 0; at < piece; at += dataFrame) {
            frames += TlsSession::http2Data(1, payload, sent + at + dataFrame >= downloadBytes);
        }
        session.serverSends(frames);
        capture.write(flow, session.takeFlights());
    }
    return session.keyLog();
}

qint64 givenUp = 0;

} // namespace

int main()
{
    // Only a connection given up matters here: it would mean the rest went unread.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
        givenUp += message.contains(QStringLiteral("Tls")) || message.contains(QStringLiteral("TLS"));
    });
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("tls.pcap"));
    const QByteArray keyLines = folder.isValid() ? writeCapture(path) : QByteArray();
    if (keyLines.isEmpty()) {
        std::fprintf(stderr, "cannot write the capture file\n");
        return 1;
    }
    Run raw, handled;
    for (int round = 0; round < rounds; ++round) {
        const Run plain = readAll(path, [](const pcap_pkthdr *, const u_char *) {});
        KeyLog keys;
        keys.addText(keyLines);
        IgnoreList ignored;
        qint64 reports = 0;
        FrameMatcher matcher(
            ignored, [&reports](SniffReport) { ++reports; }, &keys);
        const Run decrypted = readAll(path, [&matcher](const pcap_pkthdr *header, const u_char *data) {
            matcher.handleFrame(DLT_EN10MB, data, qsizetype(header->caplen), qint64(header->ts.tv_sec));
        });
        if (reports != 1 || givenUp != 0) {
            std::fprintf(stderr, "%lld reports, %lld connections given up\n", reports, givenUp);
            return 1;
        }
        raw = round == 0 || plain.seconds < raw.seconds ? plain : raw;
        handled = round == 0 || decrypted.seconds < handled.seconds ? decrypted : handled;
    }
    const auto gbits = [](const Run &run) { return double(run.bytes) * 8 / run.seconds / 1e9; };
    std::printf("TLS 1.3 + HTTP/2, %.2f GiB captured: decrypted and parsed at %.2f Gbit/s on one core "
                "(raw libpcap read %.2f Gbit/s, ratio %.2f)\n",
                double(raw.bytes) / double(qint64(1) << 30), gbits(handled), gbits(raw), gbits(handled) / gbits(raw));
    return 0;
}
