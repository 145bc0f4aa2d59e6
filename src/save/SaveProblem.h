#pragma once

#include <QString>

// Why a file could not be written into a folder, for a message that names the cause.
namespace SaveProblem {

enum class Kind { Other, DiskFull, FolderNotWritable };

// folder is where the file was to go; words are what the failing writer (a tool, or the save) said.
Kind of(const QString &folder, const QString &words);

} // namespace SaveProblem
