#pragma once

#include "PendingRequest.h"
#include "SniffReportQueue.h"

#include <QByteArray>

#include <array>
#include <functional>
#include <list>

class IgnoreList;

// Decodes Ethernet II / IPv4 / TCP frames and pairs outgoing HTTP GET requests with the responses that carry
// media. Used by one capture thread at a time; only the ignore list is shared.
class FrameMatcher
{
public:
    using Sink = std::function<void(SniffReport report)>;

    // Frames sent from address are requests, all others responses. Reports whose URL the ignore list takes
    // are suppressed; the rest go to reportSink.
    FrameMatcher(const std::array<quint8, 4> &address, IgnoreList &ignoreList, Sink reportSink);
    Q_DISABLE_COPY_MOVE(FrameMatcher)

    // now: seconds since the epoch, used to expire unanswered requests.
    void handleFrame(const uchar *frame, qsizetype length, qint64 now);

private:
    struct Segment;

    void recordRequest(const Segment &segment, qint64 now);
    void handleIncoming(const Segment &segment);
    PendingRequest takeRequest(const Segment &segment);
    void report(const PendingRequest &request, const QByteArray &contentLength, const QByteArray &mediaType);

    quint32 interfaceAddress = 0;
    IgnoreList &ignored;
    Sink sink;
    std::list<PendingRequest> pending;
    // The request of the most recent response, reported again by each following body frame that starts
    // with an FLV signature.
    PendingRequest lastRequest;
    QByteArray lastContentLength;
};
