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

// The private copy of the site-download tool in the data folder, which the launcher beside the program
// runs in place of the system's tool; empty where the tool updates itself.
QString privateCopyPath(const QString &dataFolder, Platform::Os os);

// The environment variable through which the launcher learns where the private copy is.
inline const QString PrivateCopyVariable = QStringLiteral("CORVANE_YTDLP_COPY");

} // namespace ExternalTools
