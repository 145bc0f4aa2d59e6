#include "FrameMatcher.h"

#include "IgnoreList.h"
#include "MarkerSearch.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype ethernetHeaderLength = 14;
constexpr qsizetype minimumHeaderLength = 20;
constexpr qsizetype scanLimit = 8192;
constexpr qint64 requestLifetime = 60;

QByteArray bytes(const uchar *begin, const uchar *end)
{
    return QByteArray(reinterpret_cast<const char *>(begin), end - begin);
}

bool startsWith(const uchar *begin, const uchar *end, std::string_view prefix)
{
    return end - begin >= qsizetype(prefix.size()) && std::memcmp(begin, prefix.data(), prefix.size()) == 0;
}

quint32 rawAddress(const uchar *at)
{
    quint32 address;
    std::memcpy(&address, at, sizeof address);
    return address;
}

quint16 rawPort(const uchar *at)
{
    quint16 port;
    std::memcpy(&port, at, sizeof port);
    return port;
}

QByteArray buildUrl(const PendingRequest &request)
{
    qDebug() << "ZHOPAAAA!";
    if (request.path.isEmpty()) {
        return {};
    }
    qDebug() << "ZHOP!!!";
    const QByteArray path = request.path.trimmed();
    const QByteArray host = request.host.trimmed();
    if (!host.isEmpty()) {
        return host + path;
    }
    uchar octets[4];
    std::memcpy(octets, &request.serverAddress, sizeof octets);
    return QByteArray::number(octets[0]) + '.' + QByteArray::number(octets[1]) + '.' + QByteArray::number(octets[2])
        + '.' + QByteArray::number(octets[3]) + path;
}

} // namespace

struct FrameMatcher::Segment
{
    quint32 source = 0;
    quint32 destination = 0;
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    const uchar *payload = nullptr;
    const uchar *payloadEnd = nullptr;
    const uchar *scanEnd = nullptr;
};

FrameMatcher::FrameMatcher(const std::array<quint8, 4> &address, IgnoreList &ignoreList, Sink reportSink)
    : ignored(ignoreList)
    , sink(std::move(reportSink))
{
    std::memcpy(&interfaceAddress, address.data(), sizeof interfaceAddress);
}

void FrameMatcher::handleFrame(const uchar *frame, qsizetype length, qint64 now)
{
    // Only Ethernet II carrying an unfragmented (or first-fragment) IPv4 TCP segment, with every header
    // length checked against the captured bytes before it is used.
    if (length < ethernetHeaderLength + minimumHeaderLength || frame[12] != 0x08 || frame[13] != 0x00) {
        return;
    }
    const uchar *ip = frame + ethernetHeaderLength;
    const qsizetype ipHeaderLength = (ip[0] & 0x0f) * 4;
    const bool laterFragment = ((ip[6] & 0x1f) | ip[7]) != 0;
    if ((ip[0] >> 4) != 4 || ipHeaderLength < minimumHeaderLength || ip[9] != 6 || laterFragment
        || ethernetHeaderLength + ipHeaderLength + minimumHeaderLength > length) {
        return;
    }
    const uchar *tcp = ip + ipHeaderLength;
    const qsizetype tcpHeaderLength = (tcp[12] >> 4) * 4;
    if (tcpHeaderLength < minimumHeaderLength || ethernetHeaderLength + ipHeaderLength + tcpHeaderLength > length) {
        return;
    }
    Segment segment;
    segment.source = rawAddress(ip + 12);
    segment.destination = rawAddress(ip + 16);
    segment.sourcePort = rawPort(tcp);
    segment.destinationPort = rawPort(tcp + 2);
    segment.payload = tcp + tcpHeaderLength;
    segment.payloadEnd = frame + length;
    segment.scanEnd = segment.payload + std::min<qsizetype>(segment.payloadEnd - segment.payload, scanLimit);

    if (segment.source == interfaceAddress) {
        recordRequest(segment, now);
    } else {
        handleIncoming(segment);
    }
}

void FrameMatcher::recordRequest(const Segment &segment, qint64 now)
{
    const uchar *const end = segment.scanEnd;
    const uchar *get = findMarker(segment.payload, end, "GET ");
    if (get == end) {
        return;
    }
    const uchar *pathBegin = get + 4;
    const uchar *space = findMarker(pathBegin, end, " ");
    if (space == end) {
        return;
    }
    PendingRequest request;
    request.clientAddress = segment.source;
    request.serverAddress = segment.destination;
    request.clientPort = segment.sourcePort;
    request.serverPort = segment.destinationPort;
    request.path = bytes(pathBegin, space + 1);

    const uchar *headerSearchFrom = space + 1;
    const uchar *hostMarker = findMarker(headerSearchFrom, end, "Host: ");
    if (hostMarker != end) {
        headerSearchFrom = hostMarker + 6;
        const uchar *lineEnd = findMarker(headerSearchFrom, end, "\r\n");
        if (lineEnd != end) {
            request.host = bytes(headerSearchFrom, lineEnd);
        }
    }
    const uchar *blankLine = findMarker(headerSearchFrom, end, "\r\n\r\n");
    if (blankLine != end) {
        request.requestHeader = bytes(segment.payload, blankLine + 4);
    }

    // An age of exactly the lifetime still stays.
    pending.remove_if([now](const PendingRequest &old) { return now - old.createdAt > requestLifetime; });
    request.createdAt = now;
    pending.push_back(std::move(request));
}

void FrameMatcher::handleIncoming(const Segment &segment)
{
    const uchar *const end = segment.scanEnd;
    if (findMarker(segment.payload, end, "HTTP") == end) {
        if (startsWith(segment.payload, segment.payloadEnd, "FLV")) {
            report(lastRequest, lastContentLength, "x-flv");
        }
        return;
    }

    PendingRequest request = takeRequest(segment);
    QByteArray contentLength;
    const uchar *lengthMarker = findMarker(segment.payload, end, "Content-Length: ");
    if (lengthMarker != end) {
        const uchar *lineEnd = findMarker(lengthMarker + 16, end, "\r\n");
        if (lineEnd != end) {
            contentLength = bytes(lengthMarker + 16, lineEnd + 2);
        }
    }

    const uchar *videoMarker = findMarker(segment.payload, end, "Content-Type: video/");
    if (videoMarker != end) {
        const uchar *typeBegin = videoMarker + 20;
        const uchar *lineEnd = findMarker(typeBegin, end, "\r\n");
        const QByteArray mediaType = lineEnd != end ? bytes(typeBegin, lineEnd + 2) : QByteArray();
        bool deferred = false;
        const uchar *flvMarker = findMarker(typeBegin, end, "x-flv");
        if (flvMarker != end) {
            // A header that fills its frame exactly: the body frames that follow report it.
            const uchar *blankLine = findMarker(flvMarker + 5, segment.payloadEnd, "\r\n\r\n");
            deferred = blankLine != segment.payloadEnd && blankLine + 4 == segment.payloadEnd;
        }
        if (!deferred) {
            report(request, contentLength, mediaType);
        }
    } else {
        const uchar *blankLine = findMarker(segment.payload, end, "\r\n\r\n");
        if (blankLine != end) {
            const uchar *body = blankLine + 4;
            if (startsWith(body, segment.payloadEnd, "FLV")) {
                report(request, contentLength, "x-flv");
            } else if (startsWith(body, segment.payloadEnd, "ID3")) {
                qDebug() << "MP3!!!";
                report(request, contentLength, "MP3");
            }
        }
    }
    lastRequest = std::move(request);
    lastContentLength = std::move(contentLength);
}

PendingRequest FrameMatcher::takeRequest(const Segment &segment)
{
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (it->clientAddress == segment.destination && it->serverAddress == segment.source
            && it->clientPort == segment.destinationPort && it->serverPort == segment.sourcePort) {
            PendingRequest request = std::move(*it);
            pending.erase(it);
            return request;
        }
    }
    return {};
}

void FrameMatcher::report(const PendingRequest &request, const QByteArray &contentLength, const QByteArray &mediaType)
{
    qDebug() << "Execute callback with type 2 " << mediaType;
    const QByteArray url = buildUrl(request);
    qDebug() << "URL:" << url;
    if (url.isEmpty() || ignored.take(url)) {
        return;
    }
    sink(SniffReport { url, request.requestHeader, contentLength, mediaType });
}
