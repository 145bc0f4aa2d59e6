#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The site-download tool's standard output as the driver reads it: UTF-8 up to the first NUL, trimmed.
QString toolText(const QByteArray &output);

// The same, cut into lines at "\n" (empty lines inside kept). Carriage returns are dropped first, so
// Windows line ends leave nothing behind in a line's last field. No output gives no lines.
QStringList toolLines(const QByteArray &output);
