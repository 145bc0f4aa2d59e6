#pragma once

#include <QString>

// The tool's version in the output of its update run: only digits, "." and "+" kept, "..." removed, a
// trailing "." dropped with the character before it; "last" when fewer than 6 characters remain.
QString versionFromUpdateOutput(const QString &output);
