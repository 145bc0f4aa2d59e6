#pragma once

#include <QString>
#include <QtGlobal>

// The running time of a recording with its pauses left out. Times are milliseconds of one steady clock.
class RecordingClock final
{
public:
    void start(qint64 now);
    void pause(qint64 now);
    void resume(qint64 now);
    qint64 elapsed(qint64 now) const;

    // What the stop dialog shows: "1:02:03 · 12.3 MB", and that it is paused.
    static QString status(qint64 msecs, qint64 bytes, bool paused);
    // Whole minutes of recording that fit into the free space.
    static qint64 minutesFitting(qint64 bytesAvailable, qint64 bytesPerMinute);

private:
    qint64 started = -1;
    qint64 pausedAt = -1;
    qint64 pausedFor = 0;
};
