#pragma once

#include "ConnectionTable.h"
#include "SniffReportQueue.h"

#include <functional>

class IgnoreList;
class KeyLog;

// Follows the TCP connections in captured frames, reads HTTP/1.1 from them (and, with the key log's secrets,
// HTTP/1.1 and HTTP/2 inside TLS) and reports each response that carries media, with the address and header of the
// request it answers. Used by one capture thread at a time;
// only the ignore list is shared.
class FrameMatcher
{
public:
    using Sink = std::function<void(SniffReport report)>;

    // Reports whose URL the ignore list takes are suppressed; the rest go to reportSink.
    FrameMatcher(IgnoreList &ignoreList, Sink reportSink, KeyLog *keys = nullptr, const ConnectionLimits &limits = {});
    Q_DISABLE_COPY_MOVE(FrameMatcher)

    // linkType: the capture's link type (pcap_datalink). now: seconds since the epoch, from the capture's clock,
    // used to forget idle connections.
    void handleFrame(int linkType, const uchar *frame, qsizetype length, qint64 now);

    // No frame came for a while; now: seconds since the epoch.
    void idle(qint64 now) { table.idle(now); }

    const ConnectionTable &connections() const { return table; }

private:
    void report(const TcpEndpoint &server, const HttpMedia &media, bool secure);

    IgnoreList &ignored;
    Sink sink;
    ConnectionTable table;
};
