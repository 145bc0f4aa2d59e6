#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a program to its end (a minute at most) in folder, or in the current folder when it is empty;
// true when it exited with 0. Its standard output goes to output when given.
bool run(const QString &program, const QStringList &arguments, const QString &folder = QString(),
         QByteArray *output = nullptr);

// What ffprobe sees in a media file.
struct MediaProbe
{
    // "audio", "video", ... sorted.
    QStringList streams;
    // "aac", "h264", ... sorted.
    QStringList codecs;
    double duration = 0;
    // "WIDTHxHEIGHT" of the first video stream; empty without one.
    QString resolution;
};

MediaProbe probeMedia(const QString &file);
