#pragma once

#include <QByteArray>

#include <deque>
#include <mutex>
#include <optional>

// As SniffCallback receives them.
struct SniffReport
{
    QByteArray url, requestHeader, contentLength, mediaType;
    QByteArray body {};
};

// The program-wide queue between the capture threads and the window's thread. Bounded in reports and in the bytes
// they carry (request headers, playlists): a window that stops draining must not let the capture threads eat the
// memory.
class SniffReportQueue
{
public:
    explicit SniffReportQueue(qsizetype capacity = 1000, qsizetype byteCapacity = qsizetype(32) << 20);

    // When full, drops the oldest entries and logs one line saying so.
    void push(SniffReport report);
    // The oldest, or nothing.
    std::optional<SniffReport> take();
    qsizetype size() const;

private:
    const qsizetype limit;
    const qsizetype byteLimit;
    mutable std::mutex mutex;
    std::deque<SniffReport> reports;
    qsizetype bytes = 0;
};
