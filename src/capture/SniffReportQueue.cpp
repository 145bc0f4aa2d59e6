#include "SniffReportQueue.h"

#include "Trace.h"

#include <algorithm>

namespace {

qsizetype weight(const SniffReport &report)
{
    return report.url.size() + report.requestHeader.size() + report.contentLength.size() + report.mediaType.size()
        + report.body.size();
}

} // namespace

SniffReportQueue::SniffReportQueue(qsizetype capacity, qsizetype byteCapacity)
    : limit(std::max<qsizetype>(capacity, 1))
    , byteLimit(byteCapacity)
{ }

void SniffReportQueue::push(SniffReport report)
{
    bool dropped = false;
    {
        const std::lock_guard lock(mutex);
        bytes += weight(report);
        reports.push_back(std::move(report));
        while (qsizetype(reports.size()) > limit || (bytes > byteLimit && reports.size() > 1)) {
            bytes -= weight(reports.front());
            reports.pop_front();
            dropped = true;
        }
    }
    if (dropped) {
        trace() << "SniffReportQueue::push : report queue full, dropped the oldest reports";
    }
}

std::optional<SniffReport> SniffReportQueue::take()
{
    const std::lock_guard lock(mutex);
    if (reports.empty()) {
        return std::nullopt;
    }
    SniffReport oldest = std::move(reports.front());
    reports.pop_front();
    bytes -= weight(oldest);
    return oldest;
}

qsizetype SniffReportQueue::size() const
{
    const std::lock_guard lock(mutex);
    return qsizetype(reports.size());
}
