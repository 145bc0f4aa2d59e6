#pragma once

#include <QByteArray>
#include <QStringList>

// What ffmpeg says of its work with "-progress pipe:1": blocks of key=value lines, each closed by
// "progress=continue" or, at the end, "progress=end".
struct ConverterProgress
{
    double secondsDone = 0;
    qint64 bytesWritten = 0;
    // The converter's "1.5x" as 1.5; 0 when unknown.
    double speed = 0;
    bool ended = false;

    // The options that make ffmpeg print such blocks on its output instead of its status line.
    static QStringList arguments();
    // Takes the complete lines off the front of pending, up to and including the next block's last line; true when
    // a block was closed (the figures are then that block's), false when pending holds no closed block yet.
    bool read(QByteArray &pending);
};
