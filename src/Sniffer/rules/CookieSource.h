#pragma once

#include "Platform.h"

#include <QList>
#include <QMap>
#include <QString>

// Where site downloads take the cookies that sign the user in to a site: nowhere, an installed browser's own
// profile, the profile of the browser the sniffer starts, or a cookies.txt file. Kept in the settings as one text.
struct CookieSource
{
    enum class Kind { None, Browser, SniffingBrowser, File };

    Kind kind = Kind::None;
    Platform::Browser browser = Platform::Browser::Chromium;
    QString file;

    QString label() const;
    QString toSetting() const;
    // Unknown or damaged texts read as none.
    static CookieSource fromSetting(const QString &text);
    // None, each installed browser, and the sniffing browser once its profile exists (installed: as
    // SniffBrowser::find reads them; empty programs are not installed).
    static QList<CookieSource> offered(const QMap<Platform::Browser, QString> &installed, const QString &dataFolder);
    // What the site tool's --cookies-from-browser takes; empty for none and for a file.
    QString toolBrowser(const QString &dataFolder) const;

    friend bool operator==(const CookieSource &, const CookieSource &) = default;
};
