#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

QStringList SettingsGroups::all()
{
    return { ErrorTitles, ErrorMessages, DownloadErrorMessages, WarningMessages, VideoSiteUrls, OtherSiteUrls, Help,
             HelpActions, TestUrls,      TestSniffer,           ToolRelease,     SnifferTexts };
}

namespace SettingsFile {

namespace {

QString makeFolder(const QString &path)
{
    QDir().mkpath(path);
    return QDir::toNativeSeparators(path);
}

} // namespace

QString settingsPath(const QString &dataFolder)
{
    return QDir::toNativeSeparators(dataFolder + QLatin1Char('/') + FileName);
}

QString templatePath(const QString &applicationDir)
{
    return QDir::toNativeSeparators(applicationDir + QLatin1Char('/') + FileName);
}

bool provision(const QString &settingsPath, const QString &templatePath, const QString &documentsFolder,
               const QDate &today)
{
    if (QFile::exists(settingsPath)) {
        return false;
    }
    if (!QFile::exists(templatePath) || !QFile::copy(templatePath, settingsPath)) {
        return false;
    }
    // The template is moved, not shared: a failed removal (a read-only install) only leaves it behind. An
    // installed program's template serves every user, even when one of them runs it as root.
    if (!QFileInfo(templatePath).absoluteFilePath().startsWith(QLatin1String("/usr/"))) {
        QFile::remove(templatePath);
    }

    QSettings settings(settingsPath, QSettings::IniFormat);
    settings.setValue(SettingsKeys::LastUpdate, QString::number(today.dayOfYear() - 1));
    const QString base = documentsFolder + QStringLiteral("/Corvane 2");
    settings.setValue(SettingsKeys::SavePathVideo, makeFolder(base + QStringLiteral("/Video")));
    settings.setValue(SettingsKeys::SavePathAudio, makeFolder(base + QStringLiteral("/Audio")));
    settings.sync();
    return true;
}

bool merge(const QString &settingsPath, const QString &templatePath)
{
    if (!QFile::exists(settingsPath) || !QFile::exists(templatePath)) {
        return true;
    }
    const QSettings delivered(templatePath, QSettings::IniFormat);
    QSettings own(settingsPath, QSettings::IniFormat);
    bool added = false;
    for (const QString &key : delivered.allKeys()) {
        if (!own.contains(key)) {
            own.setValue(key, delivered.value(key));
            added = true;
        }
    }
    if (!added) {
        return true;
    }
    own.sync();
    return own.status() == QSettings::NoError;
}

const SettingsLists &builtInLists()
{
    static const SettingsLists lists = [] {
        QSettings delivered(QStringLiteral(":/builtin/sniffer.ini"), QSettings::IniFormat);
        return readAll(delivered);
    }();
    return lists;
}

SettingsList readList(QSettings &settings, const QString &group)
{
    SettingsList list;
    settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys) {
        const QVariant value = settings.value(key, QString());
        // An unquoted value with commas reads as a list of texts; joining it back keeps the message
        // instead of silently turning it into an empty text.
        const QString text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", "))
                                                                      : value.toString();
        list.insert(key.toInt(), text);
    }
    settings.endGroup();
    return list;
}

SettingsLists readAll(QSettings &settings)
{
    SettingsLists lists;
    for (const QString &group : SettingsGroups::all()) {
        lists.insert(group, readList(settings, group));
    }
    return lists;
}

} // namespace SettingsFile
