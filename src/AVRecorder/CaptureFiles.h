#pragma once

#include "Platform.h"

#include <QDateTime>
#include <QString>

// The three temporary files of one recording. All are MPEG program streams, the audio capture too: a
// raw audio file would lose the time stamps that line the sound up with the picture in the merge.
struct CaptureFiles
{
    QString audioFile;
    QString videoFile;
    QString resultFile;
};

// Same folder and same second give the same base; the recorded region plays no part.
QString captureBaseName(const QString &tempDir, const QDateTime &when);

CaptureFiles captureFiles(const QString &tempDir, const QDateTime &when, Platform::Os os);

// Part `part` (from 1) of a recording that was paused: later parts number their captures ("_v2.mpg"); each part's
// own merge goes to a numbered result ("_res1.mpg") before the parts are joined into the recording's result.
CaptureFiles capturePart(const CaptureFiles &recording, int part);
