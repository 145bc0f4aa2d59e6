#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <utility>

// Points APPDATA, HOME and the XDG folders into a fresh temporary folder for the fixture's lifetime,
// so tests never touch the real user's files. The old values come back on destruction.
class TempHome final
{
public:
    TempHome();
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

    QTemporaryDir dir;
    QList<std::pair<QByteArray, std::pair<bool, QByteArray>>> saved;
};
