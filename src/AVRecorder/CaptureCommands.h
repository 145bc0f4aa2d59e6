#pragma once

#include "Platform.h"

#include <QRect>
#include <QString>
#include <QStringList>

// The converter's command lines for a recording: two captures running side by side and the merge of
// their files. Both captures keep the wall-clock time stamps of their sources and the merge keeps them
// too, so picture and sound line up however far apart the two captures were started.
namespace CaptureCommands {

// Full path of the converter in the application folder, in the platform's notation.
QString progName(const QString &appDir, Platform::Os os, bool olderThanNt52);

// The part of a frame that lies on its screen: what is past any edge of the screen is not recorded, and
// the region never starts left of or above 0. Empty when nothing of the frame is on the screen.
QRect visibleRegion(const QRect &frame, const QRect &screen);

// The filter that cuts the region out of the whole screen; values are passed through unchanged.
QString cropFilter(int width, int height, int x, int y);

QStringList videoArguments(Platform::Os os, const QString &display, const QString &crop, const QString &videoFile);
QStringList audioArguments(Platform::Os os, const QString &audioFile);
// An empty capture is left out: the result then holds the other one alone.
QStringList mergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile);

} // namespace CaptureCommands
