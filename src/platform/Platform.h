#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// Everything that differs between Windows, where the program was first designed, and other desktops.
// The choices are pure functions of a platform value so that both sides can be tested anywhere.
namespace Platform {

enum class Os { Windows, Unix };

enum class Tool { SiteDownloader, Converter, Player };

enum class Folder { Documents, Desktop, Music, Movies, Cache };

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

} // namespace Platform
