#pragma once

#include <QByteArray>

// A fuzz input starts with one selector byte, then holds a sequence of records: one control byte, two bytes
// (big-endian) of length, then that many bytes. The last record takes what is left when the input ends early.
//
// Selector: the low three bits pick the link type (fuzzLinkTypes); fuzzSmallLimits shrinks the connection
// table so that its bounds are reached. The control byte is the seconds the clock advances before the frame.
// With fuzzKeyLog the first record holds key log lines the TLS connections are decrypted with. With fuzzHttp2 the
// records are not frames but runs of one HTTP/2 connection's plaintext, the control byte's low bit their direction.
constexpr int fuzzLinkTypes[8] = { 1, 12, 113, 276, 0, 101, 228, 229 };
constexpr quint8 fuzzSmallLimits = 0x08;
constexpr quint8 fuzzKeyLog = 0x10;
constexpr quint8 fuzzHttp2 = 0x20;

inline QByteArray fuzzRecord(quint8 control, const QByteArray &bytes)
{
    const auto length = quint16(bytes.size());
    return QByteArray(1, char(control)) + char(length >> 8) + char(length & 0xff) + bytes;
}
