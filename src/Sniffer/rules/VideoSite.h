#pragma once

#include <QString>

// The video site whose pages are "watch?v=" addresses.
namespace VideoSite {
inline const QString mainHost = QStringLiteral("youtube.com");
} // namespace VideoSite
