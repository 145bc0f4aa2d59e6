#pragma once

#include "Platform.h"

#include <QString>
#include <QStringList>

// The external programs live beside the executable and are always started by full path with an
// explicit argument list, never through a shell.
namespace ExternalTools {

QString path(Platform::Tool tool, const QString &applicationDir, Platform::Os os, bool olderThanNt52);
QString path(Platform::Tool tool);

bool exists(Platform::Tool tool);

} // namespace ExternalTools
