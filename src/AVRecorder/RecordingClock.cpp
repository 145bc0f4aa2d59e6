#include "RecordingClock.h"

#include <QLocale>

void RecordingClock::start(qint64 now)
{
    started = now;
    pausedAt = -1;
    pausedFor = 0;
}

void RecordingClock::pause(qint64 now)
{
    if (started >= 0 && pausedAt < 0) {
        pausedAt = now;
    }
}

void RecordingClock::resume(qint64 now)
{
    if (pausedAt >= 0) {
        pausedFor += now - pausedAt;
        pausedAt = -1;
    }
}

qint64 RecordingClock::elapsed(qint64 now) const
{
    if (started < 0) {
        return 0;
    }
    const qint64 end = pausedAt >= 0 ? pausedAt : now;
    return qMax<qint64>(end - started - pausedFor, 0);
}

QString RecordingClock::status(qint64 msecs, qint64 bytes, bool paused)
{
    const qint64 seconds = msecs / 1000;
    const QString time = seconds >= 3600
        ? QStringLiteral("%1:%2:%3")
              .arg(seconds / 3600)
              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
              .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const QString size = QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
    return time + QStringLiteral(" \u00b7 ") + size + (paused ? QStringLiteral(" \u00b7 paused") : QString());
}

qint64 RecordingClock::minutesFitting(qint64 bytesAvailable, qint64 bytesPerMinute)
{
    return bytesPerMinute > 0 ? qMax<qint64>(bytesAvailable, 0) / bytesPerMinute : 0;
}
