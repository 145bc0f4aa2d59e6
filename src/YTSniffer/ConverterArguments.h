#pragma once

#include <QString>
#include <QStringList>

// The converter's codec arguments for a target extension: video codecs compared case-sensitively, none
// where the converter chooses by the extension itself; an audio container drops every video track.
QStringList codecArguments(const QString &extension);

// The converter's whole argument list: "-i", from, the codec arguments, "-qscale", "1", "-y", to.
QStringList converterArguments(const QString &from, const QString &to);

// A download's streams copied into a container that is known to take most codecs (MP4, M4V, MOV, MKV): no quality
// lost, in seconds. Empty for other targets. When the container refuses a stream, h264ConverterArguments() follows.
QStringList copyConverterArguments(const QString &from, const QString &to);

// A screen recording's conversion, and a download's that could not be copied: MP4, M4V, MOV and MKV get H.264 and AAC,
// which every player and site takes; an odd width or height is padded by a pixel, as H.264 needs even ones. Other
// targets as converterArguments().
QStringList h264ConverterArguments(const QString &from, const QString &to);
