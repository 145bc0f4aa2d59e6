#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

// Everything that differs between Windows, where the program was first designed, and other desktops.
// The choices are pure functions of a platform value so that both sides can be tested anywhere.
namespace Platform {

enum class Os { Windows, Unix };

enum class Tool { SiteDownloader, Converter, Player };

enum class Folder { Documents, Desktop, Music, Movies, Cache };

// The browsers whose TLS secrets the sniffer can read, in the order an installed one is preferred.
enum class Browser { Chromium, Chrome, Firefox };

// The platform this build runs on.
Os currentOs();

// The root under which the per-user data folder lives: APPDATA when it is set and not empty, otherwise
// the user's generic data location (never the file-system root).
QString dataFolderRoot(const QString &appData, const QString &genericDataLocation);
QString dataFolderRoot();

// The file name of an external program: "ytdl.exe", "ffmpeg.exe" ("ffmpeg32.exe" on Windows older
// than NT 5.2), "ffplay.exe" on Windows; the bare names elsewhere.
QString executableName(Tool tool, Os os, bool olderThanNt52 = false);

// On Windows the site-download tool beside the program replaces itself when asked ("--update"). Elsewhere
// it is the system's packaged tool, which refuses to, and the program keeps a private copy current instead.
bool siteToolUpdatesItself(Os os);

// True only on a Windows older than NT 5.2 (the 32-bit converter build is needed there).
bool isOlderThanNt52();

QString standardFolder(Folder folder);

// The directory separator of the platform's own path notation.
QChar nativeSeparator(Os os);

// The converter's input arguments for the whole screen: the screen-capture filter on Windows, the given
// X display elsewhere. The region is cut out later by a crop filter on both.
QStringList screenInput(Os os, const QString &display);
QStringList screenInput();

// The converter's input arguments for what the machine plays: the audio-capture filter on Windows, the
// sound server's monitor of the default output elsewhere.
QStringList soundInput(Os os);

// Arguments that make the site-download tool write UTF-8, as it is read: a Windows console's code page
// would otherwise apply to its output. Elsewhere it writes UTF-8 already.
QStringList siteToolEncoding(Os os);

// Where the screen-capture filter keeps its settings, for QSettings::NativeFormat: a registry key on
// Windows, a settings file of the same name in the user's configuration folder elsewhere.
QString captureFilterStore(Os os, const QString &configFolder);
QString captureFilterStore();

// The browser a name stands for, when it is one of ours: here a desktop entry ("firefox-esr.desktop") or
// a program's file name ("/usr/bin/chromium"); on Windows the ProgId of the https handler ("ChromeHTML").
std::optional<Browser> browserNamed(Os os, const QString &name);

// The first desktop entry a mimeapps.list or defaults.list gives as default for the type; empty if none.
QString mimeDefault(const QByteArray &list, const QString &mimeType);

// The desktop's default web browser when it is one of ours: the https handler chosen on Windows; here
// the freedesktop default for https, then for HTML, then Debian's x-www-browser.
std::optional<Browser> defaultBrowser();

// Where the browser's program is, or nothing when it is not installed: on the PATH here, under the
// Program Files folders on Windows.
QString browserProgram(Browser browser);

// True when the program runs as the superuser (never on Windows).
bool runsAsRoot();

} // namespace Platform
