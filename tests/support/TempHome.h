#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <optional>

#include <utility>

// Points APPDATA, HOME and the XDG folders into a fresh temporary folder for the fixture's lifetime,
// so tests never touch the real user's files. The old values come back on destruction.
class TempHome final
{
public:
    // existing: a home an earlier fixture (or another process) used, kept when this one ends.
    explicit TempHome(const QString &existing = {});
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    QString path() const;
    QString appData() const;
    QString documents() const;
    // The data folder the program uses under this home.
    QString dataFolder() const;

private:
    void set(const char *name, const QString &value);

    std::optional<QTemporaryDir> dir;
    QString home;
    QList<std::pair<QByteArray, std::pair<bool, QByteArray>>> saved;
};
