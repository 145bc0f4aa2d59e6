#include "CaptureHelper.h"

#include "CaptureSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString CaptureHelper::path()
{
    const QString candidate
        = QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(CaptureSettings::helperName));
    return QFileInfo(candidate).isExecutable() ? candidate : QString();
}

QString CaptureHelper::permissionAdvice(const QString &helperPath)
{
    if (helperPath.isEmpty()) {
        return {};
    }
    // An installed package gives the right to its group; a build folder's helper has to be given it by hand.
    if (helperPath.startsWith(QLatin1String("/usr/")) || helperPath.startsWith(QLatin1String("/opt/"))) {
        return QStringLiteral(
            "Add yourself to the group corvane2: sudo usermod -aG corvane2 $USER, then log in again.");
    }
    return QStringLiteral("sudo setcap cap_net_raw+ep ") + QDir::toNativeSeparators(helperPath);
}
