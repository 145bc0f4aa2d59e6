#pragma once

#include <QByteArrayView>

#include <string_view>

// Reading HTTP field values, the same for every HTTP version.
namespace HttpText {

char lower(char c);
// lowerPrefix is written in lower case.
bool startsWithNoCase(QByteArrayView text, std::string_view lowerPrefix);
bool equalsNoCase(QByteArrayView text, std::string_view lowerName);
// Without surrounding blanks (and a trailing CR).
QByteArrayView trimmed(QByteArrayView text);
// Decimal digits only; -1 for anything else or a value too large to be a size.
qint64 decimal(QByteArrayView text);
// A Content-Length value: one number, or a list of equal ones. -1 when invalid.
qint64 contentLength(QByteArrayView text);

} // namespace HttpText
