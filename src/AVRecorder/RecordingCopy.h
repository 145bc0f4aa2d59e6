#pragma once

#include "UserFileSave.h"

#include <QString>
#include <QStringList>

// Saving a finished recording in its own container: a plain copy, after which the temporary capture
// files go. Nothing of the recording is removed before its copy is complete.
namespace RecordingCopy {

enum class Result { Copied, NoRecording, Failed };

struct Outcome
{
    Result result = Result::Failed;
    // Why the copy failed, as the file system said it.
    QString reason;
};

// A capture that failed leaves no file or an empty one.
bool hasRecording(const QString &source);

// The recording is saved by a copy when the chosen container is its own ("mpg"), otherwise converted.
bool needsConversion(const QString &source, const QString &targetExtension);

// Copies source to target through a private file beside the target, so that an existing target is
// replaced only by a complete copy, and only when the user agreed. Then removes the temporaries, except a
// file that is the target itself. With no recording, or when the copy fails, every file stays as it was.
Outcome copy(const QString &source, const QString &target, UserFileSave::Replace replace,
             const QStringList &temporaries);

// Removes the temporary files of a recording that was saved or given up.
void removeTemporaries(const QStringList &temporaries, const QString &keep = {});

// The rich text that tells the user which file could not be written, why, and where the recording is.
QString failureText(const QString &target, const QString &source, const QString &reason);

} // namespace RecordingCopy
