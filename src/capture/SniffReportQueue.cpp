#include "SniffReportQueue.h"

#include "Trace.h"

#include <algorithm>

SniffReportQueue::SniffReportQueue(qsizetype capacity, qsizetype bodyCapacity)
    : limit(std::max<qsizetype>(capacity, 1))
    , bodyLimit(bodyCapacity)
{ }

void SniffReportQueue::push(SniffReport report)
{
    bool dropped = false;
    {
        const std::lock_guard lock(mutex);
        bodyBytes += report.body.size();
        reports.push_back(std::move(report));
        while (qsizetype(reports.size()) > limit || (bodyBytes > bodyLimit && reports.size() > 1)) {
            bodyBytes -= reports.front().body.size();
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
    bodyBytes -= oldest.body.size();
    return oldest;
}

qsizetype SniffReportQueue::size() const
{
    const std::lock_guard lock(mutex);
    return qsizetype(reports.size());
}
