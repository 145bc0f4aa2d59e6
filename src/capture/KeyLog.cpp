#include "KeyLog.h"

#include "Trace.h"

#include <QFile>

#include <algorithm>
#include <cctype>

namespace {

constexpr qsizetype randomLength = 32;
// No key log line comes near this; longer ones are garbage and are not gathered.
constexpr qsizetype lineLimit = 1024;
// Bytes read from the file per look, so that a huge file does not arrive at once.
constexpr qint64 readLimit = qint64(16) << 20;

// Even-length hexadecimal of the expected decoded size, or an empty array.
QByteArray decodeHex(QByteArrayView hex, qsizetype size)
{
    if (hex.size() != 2 * size) {
        return {};
    }
    for (const char c : hex) {
        if (!std::isxdigit(uchar(c))) {
            return {};
        }
    }
    return QByteArray::fromHex(hex.toByteArray());
}

} // namespace

KeyLog::KeyLog(const QString &file, qsizetype capacity)
    : path(file)
    , limit(std::max<qsizetype>(capacity, 1))
{ }

std::optional<TlsSecrets> KeyLog::find(QByteArrayView clientRandom)
{
    const std::lock_guard lock(mutex);
    lookIfDue();
    const auto found = sessions.constFind(clientRandom.toByteArray());
    if (found == sessions.cend()) {
        return std::nullopt;
    }
    return *found;
}

void KeyLog::refresh()
{
    const std::lock_guard lock(mutex);
    look();
}

void KeyLog::addText(QByteArrayView text)
{
    const std::lock_guard lock(mutex);
    addTextLocked(text);
}

quint64 KeyLog::generation()
{
    const std::lock_guard lock(mutex);
    lookIfDue();
    return changes;
}

qint64 KeyLog::malformedLines() const
{
    const std::lock_guard lock(mutex);
    return malformed;
}

void KeyLog::clear()
{
    const std::lock_guard lock(mutex);
    sessions.clear();
    order.clear();
    partial.clear();
    partialTooLong = false;
}

void KeyLog::lookIfDue()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - lastLook >= lookInterval) {
        look();
    }
}

void KeyLog::look()
{
    lastLook = std::chrono::steady_clock::now();
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!missingLogged) {
            trace() << "KeyLog" << path << ": not readable yet";
            missingLogged = true;
        }
        return;
    }
    missingLogged = false;
    const qint64 size = file.size();
    if (size < offset) {
        // Emptied or replaced: what it holds now starts a new log.
        offset = 0;
        partial.clear();
        partialTooLong = false;
    }
    if (size == offset || !file.seek(offset)) {
        return;
    }
    const QByteArray text = file.read(std::min(size - offset, readLimit));
    offset += text.size();
    addTextLocked(text);
}

void KeyLog::addTextLocked(QByteArrayView text)
{
    while (!text.isEmpty()) {
        const qsizetype newline = text.indexOf('\n');
        const QByteArrayView piece = newline < 0 ? text : text.first(newline);
        if (!partialTooLong && partial.size() + piece.size() <= lineLimit) {
            partial.append(piece);
        } else {
            partialTooLong = true;
            partial.clear();
        }
        if (newline < 0) {
            return;
        }
        if (partialTooLong) {
            ++malformed;
        } else {
            addLine(partial);
        }
        partial.clear();
        partialTooLong = false;
        text = text.sliced(newline + 1);
    }
}

void KeyLog::addLine(QByteArrayView line)
{
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) {
        return;
    }
    const qsizetype firstSpace = line.indexOf(' ');
    const qsizetype secondSpace = firstSpace < 0 ? -1 : line.indexOf(' ', firstSpace + 1);
    if (secondSpace < 0) {
        ++malformed;
        return;
    }
    const QByteArrayView label = line.first(firstSpace);
    QByteArray TlsSecrets::*field = nullptr;
    if (label == "CLIENT_RANDOM") {
        field = &TlsSecrets::masterSecret;
    } else if (label == "CLIENT_TRAFFIC_SECRET_0") {
        field = &TlsSecrets::clientTrafficSecret;
    } else if (label == "SERVER_TRAFFIC_SECRET_0") {
        field = &TlsSecrets::serverTrafficSecret;
    } else {
        return;
    }
    const QByteArray random = decodeHex(line.sliced(firstSpace + 1, secondSpace - firstSpace - 1), randomLength);
    const QByteArrayView secretHex = line.sliced(secondSpace + 1);
    QByteArray secret = decodeHex(secretHex, 48);
    if (secret.isEmpty() && field != &TlsSecrets::masterSecret) {
        secret = decodeHex(secretHex, 32);
    }
    if (random.isEmpty() || secret.isEmpty()) {
        ++malformed;
        return;
    }
    auto found = sessions.find(random);
    if (found == sessions.end()) {
        if (qsizetype(order.size()) >= limit) {
            sessions.remove(order.front());
            order.pop_front();
        }
        found = sessions.insert(random, {});
        order.push_back(random);
    }
    QByteArray &known = found.value().*field;
    if (known != secret) {
        known = std::move(secret);
        ++changes;
    }
}
