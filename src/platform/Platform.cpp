#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QSettings>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace Platform {

Os currentOs()
{
#ifdef Q_OS_WIN
    return Os::Windows;
#else
    return Os::Unix;
#endif
}

QString dataFolderRoot(const QString &appData, const QString &genericDataLocation)
{
    return appData.isEmpty() ? genericDataLocation : appData;
}

QString dataFolderRoot()
{
    return dataFolderRoot(qEnvironmentVariable("APPDATA"),
                          QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString executableName(Tool tool, Os os, bool olderThanNt52)
{
    QString name;
    switch (tool) {
    case Tool::SiteDownloader:
        name = QStringLiteral("ytdl");
        break;
    case Tool::Converter:
        name = QStringLiteral("ffmpeg");
        if (os == Os::Windows && olderThanNt52) {
            name += QStringLiteral("32");
        }
        break;
    case Tool::Player:
        name = QStringLiteral("ffplay");
        break;
    }
    if (os == Os::Windows) {
        name += QStringLiteral(".exe");
    }
    return name;
}

bool siteToolUpdatesItself(Os os)
{
    return os == Os::Windows;
}

bool isOlderThanNt52()
{
    if (currentOs() != Os::Windows) {
        return false;
    }
    const auto current = QOperatingSystemVersion::current();
    return current.type() == QOperatingSystemVersion::Windows
        && current < QOperatingSystemVersion(QOperatingSystemVersion::Windows, 5, 2);
}

QString standardFolder(Folder folder)
{
    switch (folder) {
    case Folder::Documents:
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case Folder::Desktop:
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case Folder::Music:
        return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    case Folder::Movies:
        return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    case Folder::Cache:
        return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    }
    return {};
}

QChar nativeSeparator(Os os)
{
    return os == Os::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

QStringList screenInput(Os os, const QString &display)
{
    if (os == Os::Windows) {
        return { QStringLiteral("-f"), QStringLiteral("dshow"), QStringLiteral("-i"),
                 QStringLiteral("video=screen-capture-recorder") };
    }
    return { QStringLiteral("-f"), QStringLiteral("x11grab"), QStringLiteral("-i"), display };
}

QStringList screenInput()
{
    return screenInput(currentOs(), qEnvironmentVariable("DISPLAY"));
}

QStringList soundInput(Os os)
{
    if (os == Os::Windows) {
        return { QStringLiteral("-f"), QStringLiteral("dshow"), QStringLiteral("-i"),
                 QStringLiteral("audio=virtual-audio-capturer") };
    }
    return { QStringLiteral("-f"), QStringLiteral("pulse"), QStringLiteral("-i"), QStringLiteral("@DEFAULT_MONITOR@") };
}

QStringList siteToolEncoding(Os os)
{
    if (os == Os::Windows) {
        return { QStringLiteral("--encoding"), QStringLiteral("utf-8") };
    }
    return {};
}

QString captureFilterStore(Os os, const QString &configFolder)
{
    if (os == Os::Windows) {
        return QStringLiteral("HKEY_CURRENT_USER\\Software\\screen-capture-recorder");
    }
    return configFolder + QStringLiteral("/screen-capture-recorder.conf");
}

QString captureFilterStore()
{
    return captureFilterStore(currentOs(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

std::optional<Browser> browserNamed(Os os, const QString &name)
{
    if (os == Os::Windows) {
        if (name.startsWith(QStringLiteral("ChromeHTML"))) {
            return Browser::Chrome;
        }
        if (name.startsWith(QStringLiteral("ChromiumHTM"))) {
            return Browser::Chromium;
        }
        if (name.startsWith(QStringLiteral("FirefoxURL")) || name.startsWith(QStringLiteral("FirefoxHTML"))) {
            return Browser::Firefox;
        }
        return std::nullopt;
    }
    QString base = QFileInfo(name).fileName().toLower();
    if (base.endsWith(QStringLiteral(".desktop"))) {
        base.chop(8);
    }
    if (base == QStringLiteral("chromium") || base == QStringLiteral("chromium-browser")) {
        return Browser::Chromium;
    }
    if (base == QStringLiteral("google-chrome") || base == QStringLiteral("google-chrome-stable")) {
        return Browser::Chrome;
    }
    if (base == QStringLiteral("firefox") || base == QStringLiteral("firefox-esr")) {
        return Browser::Firefox;
    }
    return std::nullopt;
}

QString mimeDefault(const QByteArray &list, const QString &mimeType)
{
    bool defaults = false;
    for (const QByteArray &raw : list.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            defaults = line == "[Default Applications]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!defaults || equals < 0 || QString::fromUtf8(line.left(equals)).trimmed() != mimeType) {
            continue;
        }
        for (const QString &entry : QString::fromUtf8(line.mid(equals + 1)).split(QLatin1Char(';'))) {
            if (!entry.trimmed().isEmpty()) {
                return entry.trimmed();
            }
        }
    }
    return {};
}

namespace {

QString environmentOr(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// The freedesktop lists in the order they take precedence.
QStringList mimeappsFiles()
{
    QStringList files;
    const QString home = QDir::homePath();
    files << QDir(environmentOr("XDG_CONFIG_HOME", home + QStringLiteral("/.config")))
                 .filePath(QStringLiteral("mimeapps.list"));
    for (const QString &dir :
         environmentOr("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        files << QDir(dir).filePath(QStringLiteral("mimeapps.list"));
    }
    QStringList dataDirs { environmentOr("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) };
    dataDirs << environmentOr("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
                    .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &dir : dataDirs) {
        files << QDir(dir).filePath(QStringLiteral("applications/mimeapps.list"))
              << QDir(dir).filePath(QStringLiteral("applications/defaults.list"));
    }
    return files;
}

} // namespace

std::optional<Browser> defaultBrowser()
{
    if (currentOs() == Os::Windows) {
        const QSettings choice(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Shell\\Associations\\"
                                              "UrlAssociations\\https\\UserChoice"),
                               QSettings::NativeFormat);
        return browserNamed(Os::Windows, choice.value(QStringLiteral("ProgId")).toString());
    }
    QList<QByteArray> lists;
    for (const QString &path : mimeappsFiles()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            lists << file.readAll();
        }
    }
    for (const QString &type : { QStringLiteral("x-scheme-handler/https"), QStringLiteral("text/html") }) {
        for (const QByteArray &list : lists) {
            const QString entry = mimeDefault(list, type);
            if (!entry.isEmpty()) {
                return browserNamed(Os::Unix, entry);
            }
        }
    }
    return browserNamed(Os::Unix, QFileInfo(QStringLiteral("/etc/alternatives/x-www-browser")).symLinkTarget());
}

QString browserProgram(Browser browser)
{
    if (currentOs() == Os::Windows) {
        QString relative;
        switch (browser) {
        case Browser::Chromium:
            relative = QStringLiteral("Chromium/Application/chrome.exe");
            break;
        case Browser::Chrome:
            relative = QStringLiteral("Google/Chrome/Application/chrome.exe");
            break;
        case Browser::Firefox:
            relative = QStringLiteral("Mozilla Firefox/firefox.exe");
            break;
        }
        for (const char *root : { "ProgramFiles", "ProgramFiles(x86)", "LOCALAPPDATA" }) {
            const QString folder = qEnvironmentVariable(root);
            const QString path = QDir(folder).filePath(relative);
            if (!folder.isEmpty() && QFileInfo::exists(path)) {
                return path;
            }
        }
        return {};
    }
    QStringList names;
    switch (browser) {
    case Browser::Chromium:
        names = { QStringLiteral("chromium"), QStringLiteral("chromium-browser") };
        break;
    case Browser::Chrome:
        names = { QStringLiteral("google-chrome-stable"), QStringLiteral("google-chrome") };
        break;
    case Browser::Firefox:
        names = { QStringLiteral("firefox"), QStringLiteral("firefox-esr") };
        break;
    }
    for (const QString &name : names) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

bool runsAsRoot()
{
#ifdef Q_OS_WIN
    return false;
#else
    return geteuid() == 0;
#endif
}

} // namespace Platform
