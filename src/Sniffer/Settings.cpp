#include "Sniffer.h"

#include "DataFolder.h"
#include "Platform.h"
#include "Trace.h"

#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

void Sniffer::setSettingsFile()
{
    trace() << "setSettingsFile"
            << ":"
            << "OK";
    dataFolder = dataFolderPath();
    settingsPath = SettingsFile::settingsPath(dataFolder);
    if (!QFileInfo(dataFolder).isDir()) {
        traceError() << "setSettingsFile"
                     << "cannot create the data folder, settings and logs are not kept:" << dataFolder;
    }
}

void Sniffer::provisionSettingsFile()
{
    const QString templatePath = SettingsFile::templatePath(QCoreApplication::applicationDirPath());
    if (!SettingsFile::provision(settingsPath, templatePath, Platform::standardFolder(Platform::Folder::Documents),
                                 QDate::currentDate())
        && !SettingsFile::merge(settingsPath, templatePath)) {
        traceError() << "provisionSettingsFile"
                     << "cannot add the template's new entries to" << settingsPath;
    }
    // Not fatal: the program runs on built-in fallbacks and tries again at the next start.
    if (!QFile::exists(settingsPath) && QFile::exists(templatePath)) {
        traceError() << "provisionSettingsFile"
                     << "cannot copy the settings template" << templatePath << "to" << settingsPath;
    }
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
