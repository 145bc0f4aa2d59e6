#pragma once

#include <QByteArray>
#include <QString>

// The whole content of a file, or nothing when it cannot be read.
QByteArray readFile(const QString &path);

// Replaces the file's content; false when it cannot be written.
bool writeFile(const QString &path, const QByteArray &content);

// Every program this process started has ended and been collected, so none of them can report any more.
bool childrenEnded();
