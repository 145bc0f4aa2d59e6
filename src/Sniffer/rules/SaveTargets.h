#pragma once

#include <QString>
#include <QStringList>

// What the save dialogs offer and what their answers mean, without widgets.
namespace SaveTargets {

inline constexpr int VideoKind = 4;
inline constexpr int AudioKind = 5;

// The containers offered for a download kind, in order; a finished recording can also be kept uncompressed.
// Empty for any other kind.
QStringList filters(int downloadKind, bool recorderSaveMode);

// "MP3 (*.mp3)" gives "mp3"; a filter without a "*." pattern gives nothing.
QString extensionFromFilter(const QString &filter);

// The folder the save dialog opens in: the given one, or documents when it is empty, in native separators
// and ending with the separator.
QString dialogFolder(const QString &folder, const QString &documents);

struct Target
{
    QString path; // with the extension, exactly once
    QString folder;
    QString baseName; // the file name without the chosen extension
    QString extension;
};

// The save dialog's answer: its first selected file, or folder + name when it selected none.
Target chooseTarget(const QStringList &selectedFiles, const QString &folder, const QString &fileName,
                    const QString &selectedFilter);

// The options page's folder list: the default folder first, then documents, music, movies, and the desktop
// unless the default folder is the desktop already.
QStringList candidateFolders(const QString &defaultFolder, const QString &documents, const QString &music,
                             const QString &movies, const QString &desktop);

QString defaultFolderCaption(bool audio);

} // namespace SaveTargets
