#include "Platform.h"

#include <QOperatingSystemVersion>
#include <QStandardPaths>

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

} // namespace Platform
