#pragma once

#include "Platform.h"

#include <QString>
#include <QStringList>

// The converter's command lines for a recording: two captures running side by side and the merge of
// their files. Both captures keep the wall-clock time stamps of their sources and the merge keeps them
// too, so picture and sound line up however far apart the two captures were started.
namespace CaptureCommands {

// Full path of the converter in the application folder, in the platform's notation.
QString progName(const QString &appDir, Platform::Os os, bool olderThanNt52);

// The filter that cuts the region out of the whole screen; values are passed through unchanged.
QString cropFilter(int width, int height, int x, int y);

QStringList videoArguments(Platform::Os os, const QString &display, const QString &crop, const QString &videoFile);
QStringList audioArguments(Platform::Os os, const QString &audioFile);
QStringList mergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile);

} // namespace CaptureCommands
