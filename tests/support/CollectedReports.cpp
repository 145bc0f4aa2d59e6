#include "CollectedReports.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {

SniffReportQueue &queue()
{
    static SniffReportQueue reports;
    return reports;
}

} // namespace

void collectReport(QByteArray url, QByteArray requestHeader, QByteArray contentLength, QByteArray mediaType,
                   QByteArray body)
{
    queue().push(
        { std::move(url), std::move(requestHeader), std::move(contentLength), std::move(mediaType), std::move(body) });
}

std::optional<SniffReport> takeReport()
{
    return queue().take();
}

std::optional<SniffReport> waitForReport(const QByteArray &url, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (std::optional<SniffReport> report = takeReport()) {
            if (report->url == url) {
                return report;
            }
        }
        QThread::msleep(20);
    }
    return std::nullopt;
}
