#pragma once

#include <QColor>
#include <QJsonObject>
#include <QString>

// What the converter's own tools say about a recorded file.
namespace MediaProbe {

// The file's first stream of the type ("video", "audio") as ffprobe describes it; empty when none.
QJsonObject stream(const QString &file, const QString &type);

// The file's length in seconds as its container states it.
double duration(const QString &file);

// Loudest sample of the file's sound in dB; -91 is digital silence, -1000 no sound at all.
double maxVolume(const QString &file);

// The average colour of the picture at the given second.
QColor averageColour(const QString &file, double second);

} // namespace MediaProbe
