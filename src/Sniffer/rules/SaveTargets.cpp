#include "SaveTargets.h"

#include <QDir>
#include <QFileInfo>

namespace SaveTargets {

QStringList filters(int downloadKind, bool recorderSaveMode)
{
    QStringList list;
    if (downloadKind == AudioKind) {
        if (recorderSaveMode) {
            list << QStringLiteral("Waveform Audio (*.wav)");
        }
        list << QStringLiteral("MP3 (*.mp3)") << QStringLiteral("MP4 Audio (*.m4a)")
             << QStringLiteral("Audio Interchange (*.aiff)") << QStringLiteral("Windows Media (*.wma)")
             << QStringLiteral("Free Lossless Audio (*.flac)") << QStringLiteral("Advanced Audio Coding (*.aac)")
             << QStringLiteral("OGG (*.ogg)");
    } else if (downloadKind == VideoKind) {
        if (recorderSaveMode) {
            list << QStringLiteral("MPEG (*.mpg)");
        }
        list << QStringLiteral("MPEG-4 (*.mp4)") << QStringLiteral("MPEG-4 (*.m4v)")
             << QStringLiteral("Audio Video Interleave (*.avi)") << QStringLiteral("QuickTime (*.mov)")
             << QStringLiteral("Matroska (*.mkv)") << QStringLiteral("Windows Media (*.wmv)");
    }
    return list;
}

QString extensionFromFilter(const QString &filter)
{
    const qsizetype start = filter.indexOf(QLatin1String("*."));
    if (start < 0) {
        return {};
    }
    const qsizetype end = filter.indexOf(QLatin1Char(')'), start);
    return filter.mid(start + 2, end < 0 ? -1 : end - start - 2).trimmed();
}

QString dialogFolder(const QString &folder, const QString &documents)
{
    QString native = QDir::toNativeSeparators(folder.isEmpty() ? documents : folder);
    if (!native.endsWith(QDir::separator())) {
        native += QDir::separator();
    }
    return native;
}

Target chooseTarget(const QStringList &selectedFiles, const QString &folder, const QString &fileName,
                    const QString &selectedFilter)
{
    Target target;
    target.extension = extensionFromFilter(selectedFilter);
    target.path = (selectedFiles.isEmpty() ? folder + fileName : selectedFiles.first()).trimmed();
    // A save dialog may append the extension itself; the name must not end up with it twice.
    const QString suffix = QLatin1Char('.') + target.extension;
    if (!target.extension.isEmpty() && !target.path.endsWith(suffix, Qt::CaseInsensitive)) {
        target.path += suffix;
    }
    const QFileInfo info(target.path);
    target.folder = info.path();
    target.baseName = target.extension.isEmpty() ? info.fileName() : info.completeBaseName();
    return target;
}

QStringList candidateFolders(const QString &defaultFolder, const QString &documents, const QString &music,
                             const QString &movies, const QString &desktop)
{
    QStringList folders { defaultFolder, documents, music, movies };
    if (QDir::cleanPath(defaultFolder) != QDir::cleanPath(desktop)) {
        folders << desktop;
    }
    return folders;
}

QString defaultFolderCaption(bool audio)
{
    return QStringLiteral("Select default file path for save")
        + (audio ? QStringLiteral("audio") : QStringLiteral("video"));
}

} // namespace SaveTargets
