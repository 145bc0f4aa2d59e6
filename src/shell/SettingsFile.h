#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

class QSettings;

// Numbered texts of one settings group, by id.
using SettingsList = QHash<int, QString>;
// Every group read at start, by group name.
using SettingsLists = QHash<QString, SettingsList>;

namespace SettingsKeys {
inline const QString LastUpdate = QStringLiteral("last_update");
inline const QString LastUpdateVersion = QStringLiteral("last_update_v");
inline const QString SavePathVideo = QStringLiteral("savepath_video");
inline const QString SavePathAudio = QStringLiteral("savepath_audio");
// Where site downloads take the cookies that sign the user in (see CookieSource).
inline const QString Cookies = QStringLiteral("cookies");
// How many site downloads run at once.
inline const QString ParallelDownloads = QStringLiteral("parallel_downloads");
// The user was told once that the system's site-download tool stays in use.
inline const QString SystemToolNoted = QStringLiteral("system_tool_noted");
} // namespace SettingsKeys

namespace SettingsGroups {
inline const QString ErrorTitles = QStringLiteral("error_titles");
inline const QString ErrorMessages = QStringLiteral("error_messages");
inline const QString DownloadErrorMessages = QStringLiteral("error_messages_dl");
inline const QString WarningMessages = QStringLiteral("warning_messages");
inline const QString VideoSiteUrls = QStringLiteral("yt_urls");
inline const QString OtherSiteUrls = QStringLiteral("os_urls");
inline const QString Help = QStringLiteral("help");
inline const QString HelpActions = QStringLiteral("help_actions");
inline const QString TestUrls = QStringLiteral("tovrin_test_urls");
inline const QString TestSniffer = QStringLiteral("test_sniffer");
// Entry 0: the address under which the site-download tool's latest release publishes its files.
inline const QString ToolRelease = QStringLiteral("tool_release");
// Texts of the sniffer page; entry 1: the button that starts a browser for sniffing.
inline const QString SnifferTexts = QStringLiteral("sniffer_texts");

// In the order they are read at start.
QStringList all();
} // namespace SettingsGroups

namespace SettingsFile {

inline const QString FileName = QStringLiteral("sniffer.ini");

QString settingsPath(const QString &dataFolder);
QString templatePath(const QString &applicationDir);

// First run: moves the template into place, records yesterday as the last tool update and makes the
// default Video and Audio folders under "<documents>/Corvane 2". Does nothing when the settings file
// exists already or the template cannot be copied. Returns whether it provisioned.
bool provision(const QString &settingsPath, const QString &templatePath, const QString &documentsFolder,
               const QDate &today);

// A later start: adds the template's entries that the settings file lacks (those of a newer version), keeping
// every entry the file has, its own texts included; the template stays. False when the settings file could
// not be written.
bool merge(const QString &settingsPath, const QString &templatePath);

// The delivered template's lists, compiled into the program: what a message falls back to when the settings
// file lacks its entry.
const SettingsLists &builtInLists();

// One group's entries by numeric id; a key that is not a decimal number counts as id 0.
SettingsList readList(QSettings &settings, const QString &group);

SettingsLists readAll(QSettings &settings);

} // namespace SettingsFile
