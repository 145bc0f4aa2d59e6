#pragma once

#include <QByteArray>

#include <array>

struct Endpoint
{
    std::array<quint8, 4> address;
    quint16 port;
};

// An Ethernet II frame carrying IPv4 (20-byte header) and TCP (20-byte header) with the given payload. The
// offsets below let tests damage single fields.
QByteArray tcpFrame(const Endpoint &from, const Endpoint &to, const QByteArray &payload);

namespace FrameOffset {
constexpr int etherType = 12;
constexpr int ip = 14;
constexpr int tcp = 34;
constexpr int payload = 54;
} // namespace FrameOffset
