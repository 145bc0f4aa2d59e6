#include "ToolProgress.h"

#include <QList>

#include <algorithm>
#include <cmath>

namespace {

const QLatin1String marker("corvane-progress ");

// A figure of the template: a number, or "NA" (and, from older tools, "None") when the tool does not know it.
double figure(QStringView field)
{
    bool ok = false;
    const double value = field.toDouble(&ok);
    return ok && std::isfinite(value) && value >= 0 ? value : -1;
}

} // namespace

float ToolProgress::percent() const
{
    if (total <= 0) {
        return -1;
    }
    return std::clamp(float(double(done) * 100.0 / double(total)), 0.0F, 100.0F);
}

QStringList ToolProgress::arguments()
{
    return { QStringLiteral("--newline"), QStringLiteral("--progress-template"),
             QStringLiteral("download:") + marker
                 + QStringLiteral("%(progress.downloaded_bytes)s %(progress.total_bytes)s "
                                  "%(progress.total_bytes_estimate)s %(progress.speed)s %(progress.eta)s") };
}

std::optional<ToolProgress> ToolProgress::fromLine(QStringView line)
{
    line = line.trimmed();
    if (!line.startsWith(marker)) {
        return std::nullopt;
    }
    const QList<QStringView> fields = line.sliced(marker.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() != 5) {
        return std::nullopt;
    }
    ToolProgress progress;
    progress.done = qint64(std::max(figure(fields[0]), 0.0));
    const double total = figure(fields[1]);
    const double estimate = figure(fields[2]);
    progress.total = qint64(total > 0 ? total : estimate);
    progress.estimated = total <= 0 && estimate > 0;
    progress.speed = figure(fields[3]);
    progress.left = qint64(figure(fields[4]));
    return progress;
}
