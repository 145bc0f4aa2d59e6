#pragma once

#include "SettingsFile.h"

#include <QList>
#include <QString>

// One entry of a menu filled from the settings lists.
struct MenuEntry
{
    QString caption;
    QString target;

    bool operator==(const MenuEntry &) const = default;
};

// What choosing a help entry does.
struct HelpTarget
{
    enum Kind { ShowCaption, OpenUrl, InvokeMethod };

    Kind kind = ShowCaption;
    // The address for OpenUrl, the method name for InvokeMethod.
    QString value;
};

namespace MenuEntries {

// The "help" captions in ascending id order, each with the "help_actions" text of the same id (empty
// when there is none).
QList<MenuEntry> helpEntries(const SettingsLists &lists);

// The "os_urls" addresses in ascending id order; each is both caption and target.
QList<MenuEntry> siteEntries(const SettingsLists &lists);

// Empty: show the caption. Starting with "http": an address. Else the part before the first "~"
// names a method of the window; the rest is ignored.
HelpTarget interpretHelpTarget(const QString &target);

} // namespace MenuEntries
