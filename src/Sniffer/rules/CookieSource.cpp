#include "CookieSource.h"

#include "SniffBrowser.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QMap<Platform::Browser, QString> &toolNames()
{
    static const QMap<Platform::Browser, QString> names { { Platform::Browser::Chromium, QStringLiteral("chromium") },
                                                          { Platform::Browser::Chrome, QStringLiteral("chrome") },
                                                          { Platform::Browser::Firefox, QStringLiteral("firefox") } };
    return names;
}

const QMap<Platform::Browser, QString> &shownNames()
{
    static const QMap<Platform::Browser, QString> names { { Platform::Browser::Chromium, QStringLiteral("Chromium") },
                                                          { Platform::Browser::Chrome, QStringLiteral("Chrome") },
                                                          { Platform::Browser::Firefox, QStringLiteral("Firefox") } };
    return names;
}

} // namespace

QString CookieSource::label() const
{
    switch (kind) {
    case Kind::None:
        return QStringLiteral("No cookies");
    case Kind::Browser:
        return QStringLiteral("Cookies of %1").arg(shownNames().value(browser));
    case Kind::SniffingBrowser:
        return QStringLiteral("Cookies of the sniffing browser (%1)").arg(shownNames().value(browser));
    case Kind::File:
        return QStringLiteral("Cookies from %1").arg(QFileInfo(file).fileName());
    }
    return {};
}

QString CookieSource::toSetting() const
{
    switch (kind) {
    case Kind::None:
        break;
    case Kind::Browser:
        return QStringLiteral("browser:") + toolNames().value(browser);
    case Kind::SniffingBrowser:
        return QStringLiteral("sniffing:") + toolNames().value(browser);
    case Kind::File:
        return QStringLiteral("file:") + file;
    }
    return QStringLiteral("none");
}

CookieSource CookieSource::fromSetting(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString kind = text.left(colon);
    const QString value = colon < 0 ? QString() : text.mid(colon + 1);
    if (kind == QLatin1String("file") && QFileInfo(value).isAbsolute()) {
        return { Kind::File, Platform::Browser::Chromium, value };
    }
    const auto browser = std::find(toolNames().cbegin(), toolNames().cend(), value);
    if (browser == toolNames().cend()) {
        return {};
    }
    if (kind == QLatin1String("browser")) {
        return { Kind::Browser, browser.key(), {} };
    }
    if (kind == QLatin1String("sniffing")) {
        return { Kind::SniffingBrowser, browser.key(), {} };
    }
    return {};
}

QList<CookieSource> CookieSource::offered(const QMap<Platform::Browser, QString> &installed, const QString &dataFolder)
{
    QList<CookieSource> sources { {} };
    for (auto browser = installed.cbegin(); browser != installed.cend(); ++browser) {
        if (!browser.value().isEmpty()) {
            sources.append({ Kind::Browser, browser.key(), {} });
        }
    }
    for (auto browser = installed.cbegin(); browser != installed.cend(); ++browser) {
        if (!browser.value().isEmpty() && QFileInfo(SniffBrowser::profileFolder(browser.key(), dataFolder)).isDir()) {
            sources.append({ Kind::SniffingBrowser, browser.key(), {} });
        }
    }
    return sources;
}

QString CookieSource::toolBrowser(const QString &dataFolder) const
{
    switch (kind) {
    case Kind::Browser:
        return toolNames().value(browser);
    case Kind::SniffingBrowser:
        return toolNames().value(browser) + QLatin1Char(':')
            + QDir::fromNativeSeparators(SniffBrowser::profileFolder(browser, dataFolder));
    case Kind::None:
    case Kind::File:
        break;
    }
    return {};
}
