#include "SniffReportQueue.h"

#include "Trace.h"

#include <algorithm>

SniffReportQueue::SniffReportQueue(qsizetype capacity)
    : limit(std::max<qsizetype>(capacity, 1))
{ }

void SniffReportQueue::push(SniffReport report)
{
    bool dropped = false;
    {
        const std::lock_guard lock(mutex);
        if (qsizetype(reports.size()) >= limit) {
            reports.pop_front();
            dropped = true;
        }
        reports.push_back(std::move(report));
    }
    if (dropped) {
        trace() << "SniffReportQueue::push : report queue full, dropped the oldest report";
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
    return oldest;
}

qsizetype SniffReportQueue::size() const
{
    const std::lock_guard lock(mutex);
    return qsizetype(reports.size());
}
