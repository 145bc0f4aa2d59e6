#pragma once

#include <QString>

// The video site whose pages are "watch?v=" addresses.
namespace VideoSite {
inline const QString mainHost = QStringLiteral("youtube.com");
inline const QString mainHostWithWww = QStringLiteral("www.youtube.com");
inline const QString shortLinkHost = QStringLiteral("youtu.be");
inline const QString watchAddress = QStringLiteral("https://www.youtube.com/watch?v=");
inline const QString videoIdKey = QStringLiteral("v");
} // namespace VideoSite
