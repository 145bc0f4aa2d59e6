#pragma once

#include <QString>

// The per-user data folder "Corvane 2" (logs, settings, temporary recordings), or a subfolder of it,
// with native separators. Created when missing.
QString dataFolderPath(const QString &subfolder = {});
