#pragma once

#include <QByteArray>

// Receives one media report on a capture thread: the URL without a scheme, the request header through its
// blank line, the Content-Length text with its line end (or empty) and the media type.
using SniffCallback
    = void (*)(QByteArray url, QByteArray requestHeader, QByteArray contentLength, QByteArray mediaType);
