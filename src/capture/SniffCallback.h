#pragma once

#include <QByteArray>

// Receives one media report on a capture thread: the URL (without a scheme when plain HTTP, "https://..." when it
// came over TLS), the request header through its blank line, the size text (the whole resource's size in decimal
// with a line end, or "?" when the server did not say) and the media type; for an HLS playlist or DASH manifest
// ("HLS", "DASH") its decoded body, empty for other media or when it could not be kept.
using SniffCallback = void (*)(QByteArray url, QByteArray requestHeader, QByteArray contentLength, QByteArray mediaType,
                               QByteArray body);
