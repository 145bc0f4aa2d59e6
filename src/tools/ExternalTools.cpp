#include "ExternalTools.h"

#include "Trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ExternalTools {

QString path(Platform::Tool tool, const QString &applicationDir, Platform::Os os, bool olderThanNt52)
{
    return QDir::toNativeSeparators(applicationDir + QLatin1Char('/')
                                    + Platform::executableName(tool, os, olderThanNt52));
}

QString path(Platform::Tool tool)
{
    const bool olderThanNt52 = Platform::isOlderThanNt52();
    if (tool == Platform::Tool::Converter && olderThanNt52) {
        trace() << "using x32";
    }
    return path(tool, QCoreApplication::applicationDirPath(), Platform::currentOs(), olderThanNt52);
}

bool exists(Platform::Tool tool)
{
    return QFileInfo(path(tool)).isFile();
}

QString privateCopyPath(const QString &dataFolder, Platform::Os os)
{
    if (Platform::siteToolUpdatesItself(os)) {
        return {};
    }
    return QDir::toNativeSeparators(QDir(dataFolder).filePath(QStringLiteral("tools/yt-dlp")));
}

} // namespace ExternalTools
