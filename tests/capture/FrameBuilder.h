#pragma once

#include <QByteArray>

#include <array>

struct Endpoint
{
    // IPv4: the first four bytes.
    std::array<quint8, 16> address;
    quint16 port;
    bool v6 = false;
};

enum class Link { Ethernet, Vlan, Raw, LinuxSll, LinuxSll2 };
// The pcap link type of frames built for link.
int linkType(Link link);

namespace Tcp {
constexpr quint8 fin = 0x01, syn = 0x02, rst = 0x04, psh = 0x08, ack = 0x10;
} // namespace Tcp

// A frame carrying one TCP segment (20-byte header) with the given payload, over IPv4 (20-byte header) or IPv6
// (a hop-by-hop and a destination-options header before TCP). The offsets below let tests damage single fields.
QByteArray tcpFrame(const Endpoint &from, const Endpoint &to, const QByteArray &payload, quint32 sequence = 0,
                    quint32 acknowledgement = 0, quint8 flags = Tcp::psh | Tcp::ack, Link link = Link::Ethernet);

// Ethernet, IPv4.
namespace FrameOffset {
constexpr int etherType = 12;
constexpr int ip = 14;
constexpr int tcp = 34;
constexpr int payload = 54;
} // namespace FrameOffset

// Ethernet, IPv6.
namespace FrameOffset6 {
constexpr int hopByHop = 54;
constexpr int destinationOptions = 62;
} // namespace FrameOffset6

// The frames of one TCP connection: each side's segments follow on from its last one and acknowledge all the
// other side sent. The server's sequence numbers wrap around within its first 256 bytes.
class TcpFlow
{
public:
    TcpFlow(const Endpoint &client, const Endpoint &server, Link link = Link::Ethernet);

    QByteArray open();
    QByteArray accept();
    QByteArray out(const QByteArray &payload, quint8 flags = Tcp::psh | Tcp::ack);
    QByteArray in(const QByteArray &payload, quint8 flags = Tcp::psh | Tcp::ack);
    // A server segment at offset into its stream (0: its first byte), leaving the flow where it is.
    QByteArray inAt(quint32 offset, const QByteArray &payload) const;
    int linkType() const { return ::linkType(link); }

private:
    static constexpr quint32 clientStart = 1000;
    static constexpr quint32 serverStart = 0xffffff00;

    Endpoint client, server;
    Link link;
    quint32 clientSent = 0, serverSent = 0;
};
