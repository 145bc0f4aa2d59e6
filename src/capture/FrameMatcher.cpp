#include "FrameMatcher.h"

#include "IgnoreList.h"

#include <QDebug>

namespace {

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// RFC 5952 text: the longest run of two or more zero groups becomes "::".
QByteArray ipv6Text(const std::array<quint8, 16> &address)
{
    int groups[8];
    for (int i = 0; i < 8; ++i) {
        groups[i] = address[size_t(2 * i)] << 8 | address[size_t(2 * i + 1)];
    }
    int runStart = -1, runLength = 0;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && groups[j] == 0) {
            ++j;
        }
        if (j - i > runLength && j - i >= 2) {
            runStart = i;
            runLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    QByteArray text;
    for (int i = 0; i < 8; ++i) {
        if (i == runStart) {
            text += "::";
            i += runLength - 1;
            continue;
        }
        if (!text.isEmpty() && !text.endsWith(':')) {
            text += ':';
        }
        text += QByteArray::number(groups[i], 16);
    }
    return text;
}

QByteArray serverText(const TcpEndpoint &server, bool secure)
{
    QByteArray text;
    if (server.v6) {
        text = '[' + ipv6Text(server.address) + ']';
    } else {
        text = QByteArray::number(server.address[0]) + '.' + QByteArray::number(server.address[1]) + '.'
            + QByteArray::number(server.address[2]) + '.' + QByteArray::number(server.address[3]);
    }
    return server.port == (secure ? 443 : 80) ? text : text + ':' + QByteArray::number(server.port);
}

// The address, without a scheme when it is plain HTTP and with "https://" when it came over TLS: an absolute
// target as it stands, else the host (or the server's address) and the target. Empty when the target names
// another scheme.
QByteArray buildUrl(const TcpEndpoint &server, const HttpMedia &media, bool secure)
{
    qDebug() << "ZHOPAAAA!";
    const QByteArrayView target = media.target.trimmed();
    if (target.isEmpty()) {
        return {};
    }
    qDebug() << "ZHOP!!!";
    if (secure && startsWithNoCase(target, "https://")) {
        return target.toByteArray();
    }
    if (!secure && startsWithNoCase(target, "http://")) {
        return target.sliced(7).toByteArray();
    }
    const qsizetype scheme = target.indexOf("://");
    if (scheme > 0 && target.indexOf('/') > scheme) {
        return {};
    }
    const QByteArrayView host = media.host.trimmed();
    return (secure ? QByteArray("https://") : QByteArray())
        + (host.isEmpty() ? serverText(server, secure) : host.toByteArray()) + target.toByteArray();
}

} // namespace

FrameMatcher::FrameMatcher(IgnoreList &ignoreList, Sink reportSink, KeyLog *keys, const ConnectionLimits &limits)
    : ignored(ignoreList)
    , sink(std::move(reportSink))
    , table([this](const TcpEndpoint &server, const HttpMedia &media, bool secure) { report(server, media, secure); },
            keys, limits)
{ }

void FrameMatcher::handleFrame(int linkType, const uchar *frame, qsizetype length, qint64 now)
{
    TcpSegment segment;
    if (decodeFrame(linkType, frame, length, segment)) {
        table.handle(segment, now);
    }
}

void FrameMatcher::report(const TcpEndpoint &server, const HttpMedia &media, bool secure)
{
    if (media.mediaType == "MP3") {
        qDebug() << "MP3!!!";
    }
    qDebug() << "Execute callback with type 2 " << media.mediaType;
    const QByteArray url = buildUrl(server, media, secure);
    qDebug() << "URL:" << url;
    if (url.isEmpty() || ignored.take(url)) {
        return;
    }
    const QByteArray lengthText = media.size >= 0 ? QByteArray::number(media.size) + "\r\n" : QByteArray("?");
    sink(SniffReport { url, media.requestHeader, lengthText, media.mediaType, media.body });
}
