#pragma once

#include "AdaptiveStream.h"

#include <QString>
#include <QStringList>

// Which rendition of a listed stream is saved, and how the converter is told to keep just that one.
namespace StreamChoice {

// One line per variant, in the stream's order: "1280x720, 2.50 Mbit/s", with the codecs when the playlist
// names them.
QStringList variantLabels(const AdaptiveStream &stream);

// The converter's -map specifiers that keep the picture and sound of that variant: an HLS master's variant is
// its program, a DASH variant its picture representation with the best sound. Empty: everything (one rendition).
QStringList converterMaps(const AdaptiveStream &stream, int variant);

} // namespace StreamChoice
