#include "HttpText.h"

namespace {

constexpr qint64 sizeLimit = qint64(1) << 60;

} // namespace

namespace HttpText {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool startsWithNoCase(QByteArrayView text, std::string_view lowerPrefix)
{
    if (text.size() < qsizetype(lowerPrefix.size())) {
        return false;
    }
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (lower(text[qsizetype(i)]) != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

bool equalsNoCase(QByteArrayView text, std::string_view lowerName)
{
    return text.size() == qsizetype(lowerName.size()) && startsWithNoCase(text, lowerName);
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t')) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.chop(1);
    }
    return text;
}

qint64 decimal(QByteArrayView text)
{
    text = trimmed(text);
    if (text.isEmpty()) {
        return -1;
    }
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value >= sizeLimit / 10) {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

qint64 contentLength(QByteArrayView text)
{
    qint64 value = -1;
    while (true) {
        const qsizetype comma = text.indexOf(',');
        const qint64 item = decimal(comma < 0 ? text : text.first(comma));
        if (item < 0 || (value >= 0 && item != value)) {
            return -1;
        }
        value = item;
        if (comma < 0) {
            return value;
        }
        text = text.sliced(comma + 1);
    }
}

} // namespace HttpText
