#include "SaveProblem.h"

#include <QFileInfo>
#include <QStorageInfo>
#include <QStringList>

namespace SaveProblem {

Kind of(const QString &folder, const QString &words)
{
    const QFileInfo info(folder);
    // The file system's own answer does not depend on the language the writer spoke in.
    if (!info.isDir() || !info.isWritable() || QStorageInfo(folder).isReadOnly()) {
        return Kind::FolderNotWritable;
    }
    // ENOSPC as the C library, Python ("[Errno 28]") and Windows put it. A writer that failed for lack of
    // space has usually removed its part already, so the space left alone cannot tell.
    static const QStringList noSpace { QStringLiteral("No space left on device"), QStringLiteral("[Errno 28]"),
                                       QStringLiteral("not enough space on the disk"),
                                       QStringLiteral("Disk quota exceeded") };
    for (const QString &phrase : noSpace) {
        if (words.contains(phrase, Qt::CaseInsensitive)) {
            return Kind::DiskFull;
        }
    }
    return QStorageInfo(folder).bytesAvailable() == 0 ? Kind::DiskFull : Kind::Other;
}

} // namespace SaveProblem
