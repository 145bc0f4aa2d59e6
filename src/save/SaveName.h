#pragma once

#include "Platform.h"

#include <QString>

// The file name a save writes for the name the user typed: the same name, less only what the file
// system cannot hold (a path separator anywhere; on Windows also <>:"\|?*, control characters and
// trailing dots and spaces). A name left empty becomes "untitled".
namespace SaveName {

QString clean(const QString &name, Platform::Os os);
QString clean(const QString &name);
// "Name (1).ext", "Name (2).ext", ...: the first that does not exist beside path.
QString freeName(const QString &path);

} // namespace SaveName
