#pragma once

#include "VideoInfo.h"

#include <QHash>
#include <QStringList>

#include <optional>

// One line of the tool's classic format listing ("22  mp4  1280x720  hd720 , avc1..., mp4a...@192k (best)").
// Information lines (with "["), "DASH" formats, the header line and blank lines give nothing.
std::optional<FormatEntry> parseFormatLine(const QString &line);

// The format table of a whole listing; a later line with the same code replaces the earlier one.
QHash<int, FormatEntry> parseFormatListing(const QStringList &lines);
