#pragma once

#include "AdaptiveStream.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace HlsPlaylist {

// Reads an HLS playlist fetched from url. Nothing when text does not start with #EXTM3U (after an optional UTF-8
// byte order mark). A master playlist gives variants and audio renditions; a media playlist gives no variants, and
// its duration (the sum of its segments') only once it is complete: while live the stream's length is unknown.
std::optional<AdaptiveStream> read(const QByteArray &text, const QUrl &url);

} // namespace HlsPlaylist
