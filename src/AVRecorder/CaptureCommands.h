#pragma once

#include "Platform.h"
#include "RecorderChoices.h"

#include <QByteArray>
#include <QList>
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

// Where the stop dialog goes: the corner of a screen, 10 pixels in, where it covers least of the recorded region.
// The region's own screen is preferred among equals, its top-right corner first.
QPoint stopDialogPlace(const QRect &region, const QList<QRect> &screens, const QSize &dialog);

// The window the user clicked, from what the X window picker (xwininfo) printed; null when it printed none.
QRect pickedWindow(const QByteArray &pickerOutput);

// The filter that cuts the region out of the whole screen; values are passed through unchanged.
QString cropFilter(int width, int height, int x, int y);

QStringList videoArguments(Platform::Os os, const QString &display, const QString &crop, const QString &videoFile,
                           const RecorderChoices &choices = {});
// The sound is resampled to its time stamps: a sound server whose clock runs apart from the system's would
// otherwise leave more or fewer samples than the time they were stamped with, and a player that plays the sound
// straight through would drift from the picture. The Windows filter records what the machine plays whatever the
// choice.
QStringList audioArguments(Platform::Os os, const QString &audioFile,
                           RecorderChoices::Sound sound = RecorderChoices::Sound::Playback);
// An empty capture is left out: the result then holds the other one alone.
QStringList mergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile);
// Where a capture lies on its time stamps, in seconds.
struct Span
{
    double start = 0;
    double duration = 0;
};

// The span the converter states for its first input ("Duration: 00:00:04.20, start: 57163.672267"); a zero
// duration when it states none.
Span inputSpan(const QByteArray &converterOutput);

// The merge of one part of a paused recording: the sound is cut to the picture's span, so that the parts follow
// each other picture to picture once joined. Without a known span, the plain merge.
QStringList partMergeArguments(const QString &videoFile, const QString &audioFile, const QString &resultFile,
                               const Span &picture);

// Joins the merged parts of a paused recording, listed in the converter's concat list, one after the other.
QStringList joinArguments(const QString &listFile, const QString &resultFile);
// The concat list naming the files in order.
QByteArray joinList(const QStringList &files);

} // namespace CaptureCommands
