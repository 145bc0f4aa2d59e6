#pragma once

#include "Platform.h"

#include <QString>

// The file name a save writes for the name the user typed: the same name, less only what the file
// system cannot hold (a path separator anywhere; on Windows also <>:"\|?*, control characters and
// trailing dots and spaces). A name left empty becomes "untitled".
namespace SaveName {

QString clean(const QString &name, Platform::Os os);
QString clean(const QString &name);

} // namespace SaveName
