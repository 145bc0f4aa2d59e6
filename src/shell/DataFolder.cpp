#include "DataFolder.h"

#include "Platform.h"

#include <QDir>

QString dataFolderPath(const QString &subfolder)
{
    QString path = Platform::dataFolderRoot() + QStringLiteral("/Corvane 2");
    if (!subfolder.isEmpty()) {
        path += QLatin1Char('/') + subfolder;
    }
    // mkpath rather than mkdir: on a fresh account the generic data location itself may be missing.
    QDir().mkpath(path);
    return QDir::toNativeSeparators(path);
}
