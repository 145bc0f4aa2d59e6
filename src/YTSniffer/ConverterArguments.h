#pragma once

#include <QString>
#include <QStringList>

// The converter's codec arguments for a target extension: video codecs compared case-sensitively, none
// where the converter chooses by the extension itself; an audio container drops every video track.
QStringList codecArguments(const QString &extension);

// The converter's whole argument list: "-i", from, the codec arguments, "-qscale", "1", "-y", to.
QStringList converterArguments(const QString &from, const QString &to);

// A screen recording's conversion: MP4, M4V, MOV and MKV get H.264 and AAC, which every player and site takes; an
// odd width or height is padded by a pixel, as H.264 needs even ones. Other targets as converterArguments().
QStringList recordingConverterArguments(const QString &from, const QString &to);
