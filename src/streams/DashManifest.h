#pragma once

#include "AdaptiveStream.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace DashManifest {

// Reads a DASH manifest fetched from url: nothing unless its root element is MPD (in any namespace). Variants and
// audio come from the first Period, the one a player starts with (when it has no picture, its sound renditions are
// the variants); members and patterns from every Period. A document with a DTD or malformed XML gives nothing, except
// one that merely ends early (a body cut short): that gives what was read if at least one Representation was
// complete. Nothing after the MPD element is read.
std::optional<AdaptiveStream> read(const QByteArray &text, const QUrl &url);

} // namespace DashManifest
