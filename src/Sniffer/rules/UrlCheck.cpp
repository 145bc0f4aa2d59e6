#include "UrlCheck.h"

#include "MessageIds.h"
#include "VideoSite.h"

#include <QUrlQuery>

#include <algorithm>
#include <utility>

UrlCheck::UrlCheck(QString siteListName, int siteKind, SettingsLists lists)
    : listName(std::move(siteListName))
    , kind(siteKind)
    , settingsLists(std::move(lists))
{ }

QString UrlCheck::addressPart(const QString &fieldText)
{
    const QString text = fieldText.trimmed();
    const qsizetype start = text.indexOf(QStringLiteral("http"));
    return start > 0 ? text.mid(start) : text;
}

QString UrlCheck::videoId(const QUrl &url) const
{
    const QString host = url.host();
    if (host == VideoSite::mainHostWithWww || host == VideoSite::mainHost) {
        return QUrlQuery(url).queryItemValue(VideoSite::videoIdKey, QUrl::FullyDecoded);
    }
    if (host == VideoSite::shortLinkHost) {
        return url.path().mid(1);
    }
    return {};
}

UrlCheck::Outcome UrlCheck::check(const QString &fieldText) const
{
    const QString text = addressPart(fieldText);
    Outcome outcome { QUrl(text, QUrl::TolerantMode) };
    if (outcome.url.isEmpty()) {
        return { outcome.url, MessageIds::UnsupportedAddress };
    }

    if (listName == SettingsGroups::VideoSiteUrls) {
        const QString id = videoId(outcome.url);
        if (id.isEmpty()) {
            return { outcome.url, kind };
        }
        const QString canonical = VideoSite::watchAddress + id;
        if (canonical != text) {
            outcome.url = QUrl(canonical, QUrl::TolerantMode);
        }
    } else {
        const SettingsList sites = settingsLists.value(listName);
        const QString host = outcome.url.host();
        const bool listed = std::any_of(sites.cbegin(), sites.cend(), [&host](const QString &site) {
            return host.contains(site, Qt::CaseSensitive);
        });
        if (!listed) {
            return { outcome.url, kind };
        }
    }

    if (!outcome.url.isValid()) {
        return { outcome.url, MessageIds::InvalidAddress };
    }
    return outcome;
}
