#pragma once

#include <QByteArray>

// A fuzz input is a sequence of records: one byte of seconds to advance the clock, two bytes (big-endian) of
// frame length, then the frame. The last frame takes what is left when the input ends early.
inline QByteArray fuzzRecord(quint8 advance, const QByteArray &frame)
{
    const auto length = quint16(frame.size());
    return QByteArray(1, char(advance)) + char(length >> 8) + char(length & 0xff) + frame;
}

constexpr quint8 fuzzInterfaceAddress[4] = { 10, 0, 0, 1 };
