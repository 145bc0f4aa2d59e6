#include "TempHome.h"

#include <QDir>

TempHome::TempHome(const QString &existing)
    : home(existing)
{
    if (home.isEmpty()) {
        home = dir.emplace().path();
    }
    QDir().mkpath(appData());
    set("APPDATA", appData());
    set("HOME", path());
    set("XDG_DATA_HOME", path() + QStringLiteral("/.local/share"));
    set("XDG_CONFIG_HOME", path() + QStringLiteral("/.config"));
    set("XDG_CACHE_HOME", path() + QStringLiteral("/.cache"));
}

TempHome::~TempHome()
{
    for (const auto &[name, old] : saved) {
        if (old.first) {
            qputenv(name.constData(), old.second);
        } else {
            qunsetenv(name.constData());
        }
    }
}

QString TempHome::path() const
{
    return home;
}

QString TempHome::appData() const
{
    return path() + QStringLiteral("/AppData");
}

QString TempHome::documents() const
{
    return path() + QStringLiteral("/Documents");
}

QString TempHome::dataFolder() const
{
    return appData() + QStringLiteral("/Corvane 2");
}

void TempHome::set(const char *name, const QString &value)
{
    saved.append({ name, { qEnvironmentVariableIsSet(name), qgetenv(name) } });
    qputenv(name, value.toLocal8Bit());
}
