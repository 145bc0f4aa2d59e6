#include "CaptureCommands.h"

namespace CaptureCommands {

QString progName(const QString &appDir, Platform::Os os, bool olderThanNt52)
{
    QString dir = appDir;
    if (os == Platform::Os::Windows) {
        dir.replace(QLatin1Char('/'), QLatin1Char('\\'));
    }
    return dir + Platform::nativeSeparator(os) + Platform::executableName(Platform::Tool::Converter, os, olderThanNt52);
}

QRect visibleRegion(const QRect &frame, const QRect &screen)
{
    QRect visible = frame.intersected(screen);
    visible.setLeft(qMax(visible.left(), 0));
    visible.setTop(qMax(visible.top(), 0));
    return visible.isValid() ? visible : QRect();
}

QString cropFilter(int width, int height, int x, int y)
{
    return QStringLiteral("crop=%1:%2:%3:%4:keep_aspect=1").arg(width).arg(height).arg(x).arg(y);
}

QStringList videoArguments(Platform::Os os, const QString &display, const QString &crop, const QString &videoFile)
{
    QStringList arguments { QStringLiteral("-copyts"), QStringLiteral("-rtbufsize"), QStringLiteral("2000M") };
    arguments += Platform::screenInput(os, display);
    arguments << QStringLiteral("-r") << QStringLiteral("30") << QStringLiteral("-vf") << crop << QStringLiteral("-b:v")
              << QStringLiteral("20M") << videoFile;
    return arguments;
}

QStringList audioArguments(Platform::Os os, const QString &audioFile)
{
    return QStringList { QStringLiteral("-copyts") } + Platform::soundInput(os) + QStringList { audioFile };
}

QStringList mergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile)
{
    // Without make_zero the kept wall-clock stamps would start the result hours in.
    QStringList arguments { QStringLiteral("-copyts") };
    for (const QString &input : { videoFile, audioFile }) {
        if (!input.isEmpty()) {
            arguments << QStringLiteral("-i") << input;
        }
    }
    arguments << QStringLiteral("-vcodec") << QStringLiteral("copy") << QStringLiteral("-acodec")
              << QStringLiteral("copy") << QStringLiteral("-avoid_negative_ts") << QStringLiteral("make_zero")
              << QStringLiteral("-y") << resultFile;
    return arguments;
}

} // namespace CaptureCommands
