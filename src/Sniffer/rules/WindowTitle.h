#pragma once

#include <QString>

// "Corvane 2 (<tool version>)", followed by the program's own version when the tool's is short
// (the default "last" included).
QString composeWindowTitle(const QString &toolVersion);
