#pragma once

#include <QString>
#include <QStringList>

namespace RecordingName {

// "Screen_Capture_1", or the first higher number for which no file of that name with any offered
// container exists in the folder, so that a default name never meets an earlier recording.
QString defaultName(const QString &folder);
QString defaultName(const QString &folder, const QStringList &extensions);

} // namespace RecordingName
