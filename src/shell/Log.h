#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QtGlobal>

// The program's log: every Qt message is echoed to the console and appended, one line each, to the
// daily file "log_<day of year>.txt" in the data folder, readable by the user alone. The values of the fields
// Cookie, Set-Cookie, Authorization and Proxy-Authorization (any case) are written as "[hidden]", on the console
// too: a value ends at a line end, real or escaped inside a QDebug-quoted string, or where such a string closes.
// Safe to call from any thread.
namespace Log {

QString fileName(const QString &folder, const QDate &date);

// The prefixed line with its CR LF end, secrets hidden, as it is written to the file.
QByteArray line(QtMsgType type, const QString &message);

// Appends one line, re-creating the folder when it has gone. Failures lose the line silently:
// logging never disturbs the program.
void append(const QString &folder, const QDate &date, QtMsgType type, const QString &message);

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

} // namespace Log
