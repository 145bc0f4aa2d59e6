#include "MenuEntries.h"

#include <algorithm>

namespace {

QList<int> ascendingIds(const SettingsList &list)
{
    QList<int> ids = list.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

namespace MenuEntries {

QList<MenuEntry> helpEntries(const SettingsLists &lists)
{
    const SettingsList captions = lists.value(SettingsGroups::Help);
    const SettingsList targets = lists.value(SettingsGroups::HelpActions);
    QList<MenuEntry> entries;
    for (const int id : ascendingIds(captions)) {
        entries.append({ captions.value(id), targets.value(id) });
    }
    return entries;
}

QList<MenuEntry> siteEntries(const SettingsLists &lists)
{
    const SettingsList sites = lists.value(SettingsGroups::OtherSiteUrls);
    QList<MenuEntry> entries;
    for (const int id : ascendingIds(sites)) {
        entries.append({ sites.value(id), sites.value(id) });
    }
    return entries;
}

HelpTarget interpretHelpTarget(const QString &target)
{
    if (target.isEmpty()) {
        return { HelpTarget::ShowCaption, QString() };
    }
    if (target.startsWith(QLatin1String("http"))) {
        return { HelpTarget::OpenUrl, target };
    }
    return { HelpTarget::InvokeMethod, target.section(QLatin1Char('~'), 0, 0) };
}

} // namespace MenuEntries
