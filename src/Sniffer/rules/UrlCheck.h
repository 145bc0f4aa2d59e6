#pragma once

#include "SettingsFile.h"

#include <QString>
#include <QUrl>

// Checks a pasted address against the URL page's site mode: the video site by its hosts (and made
// canonical), or the other supported sites by the entries of their settings list.
class UrlCheck final
{
public:
    struct Outcome
    {
        QUrl url;
        // 0 when accepted, otherwise the id of the message to show.
        int error = 0;
    };

    // siteListName is "yt_urls" for the video site; any other name is looked up in lists. siteKind is the
    // message id of an address the mode refuses.
    UrlCheck(QString siteListName, int siteKind, SettingsLists lists);

    Outcome check(const QString &fieldText) const;

    // The field's text from its first "http" on, trimmed; unchanged when it has no "http".
    static QString addressPart(const QString &fieldText);

private:
    QString videoId(const QUrl &url) const;

    QString listName;
    int kind;
    SettingsLists settingsLists;
};
