#include "Sniffer.h"

#include "DataFolder.h"
#include "Platform.h"
#include "Trace.h"

#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QSettings>
#include <QUrl>

void Sniffer::setSettingsFile()
{
    trace() << "setSettingsFile"
            << ":"
            << "OK";
    dataFolder = dataFolderPath();
    settingsPath = SettingsFile::settingsPath(dataFolder);
}

void Sniffer::provisionSettingsFile()
{
    SettingsFile::provision(settingsPath, SettingsFile::templatePath(QCoreApplication::applicationDirPath()),
                            Platform::standardFolder(Platform::Folder::Documents), QDate::currentDate());
}

void Sniffer::settingsRead()
{
    trace() << "settingsRead"
            << ":"
            << "OK";
    settingsObject = std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
    for (const QString &group : SettingsGroups::all()) {
        readSettingsList(group);
    }
}

void Sniffer::readSettingsList(const QString &group)
{
    settingsLists.insert(group, SettingsFile::readList(*settingsObject, group));
}

QSettings &Sniffer::settings() const
{
    return *settingsObject;
}

QString Sniffer::settingsFilePath() const
{
    return settingsPath;
}

void Sniffer::showLogsFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(dataFolderPath()));
}
