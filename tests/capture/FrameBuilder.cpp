#include "FrameBuilder.h"

namespace {

void put16(QByteArray &bytes, int at, quint32 value)
{
    bytes[at] = char(value >> 8);
    bytes[at + 1] = char(value);
}

void put32(QByteArray &bytes, int at, quint32 value)
{
    put16(bytes, at, value >> 16);
    put16(bytes, at + 2, value & 0xffff);
}

QByteArray address(const Endpoint &endpoint)
{
    return QByteArray(reinterpret_cast<const char *>(endpoint.address.data()), endpoint.v6 ? 16 : 4);
}

} // namespace

int linkType(Link link)
{
    constexpr int types[] = { 1, 1, 12, 113, 276 };
    return types[int(link)];
}

QByteArray tcpFrame(const Endpoint &from, const Endpoint &to, const QByteArray &payload, quint32 sequence,
                    quint32 acknowledgement, quint8 flags, Link link)
{
    QByteArray tcp(20, '\0');
    put16(tcp, 0, from.port);
    put16(tcp, 2, to.port);
    put32(tcp, 4, sequence);
    put32(tcp, 8, acknowledgement);
    tcp[12] = 0x50;
    tcp[13] = char(flags);
    put16(tcp, 14, 0xffff);
    tcp += payload;
    Q_ASSERT_X(tcp.size() <= 65535 - 40, "tcpFrame", "the payload does not fit an IP packet");

    QByteArray ip;
    if (from.v6) {
        ip = QByteArray(40, '\0');
        ip[0] = 0x60;
        put16(ip, 4, quint32(16 + tcp.size()));
        ip[6] = 0; // hop-by-hop options
        ip[7] = 64;
        ip.replace(8, 16, address(from));
        ip.replace(24, 16, address(to));
        ip += QByteArray("\x3c\x00\x01\x04\x00\x00\x00\x00", 8); // then destination options, PadN
        ip += QByteArray("\x06\x00\x01\x04\x00\x00\x00\x00", 8); // then TCP
    } else {
        ip = QByteArray(20, '\0');
        ip[0] = 0x45;
        put16(ip, 2, quint32(20 + tcp.size()));
        ip[6] = 0x40;
        ip[8] = 64;
        ip[9] = 6;
        ip.replace(12, 4, address(from));
        ip.replace(16, 4, address(to));
    }
    ip += tcp;

    const quint32 etherType = from.v6 ? 0x86dd : 0x0800;
    QByteArray header;
    switch (link) {
    case Link::Ethernet:
    case Link::Vlan:
        header = QByteArray("\x02\x00\x00\x00\x00\x02\x02\x00\x00\x00\x00\x01", 12);
        if (link == Link::Vlan) {
            header += QByteArray("\x81\x00\x00\x05", 4);
        }
        header += QByteArray(2, '\0');
        put16(header, int(header.size()) - 2, etherType);
        break;
    case Link::Raw:
        break;
    case Link::LinuxSll:
        header
            = QByteArray("\x00\x04\x00\x01\x00\x06\x02\x00\x00\x00\x00\x01\x00\x00\x00\x00", 14) + QByteArray(2, '\0');
        put16(header, 14, etherType);
        break;
    case Link::LinuxSll2:
        header = QByteArray(2, '\0')
            + QByteArray("\x00\x00\x00\x00\x00\x03\x00\x01\x04\x06\x02\x00\x00\x00\x00\x01\x00\x00", 18);
        put16(header, 0, etherType);
        break;
    }
    return header + ip;
}

TcpFlow::TcpFlow(const Endpoint &clientEnd, const Endpoint &serverEnd, Link frameLink)
    : client(clientEnd)
    , server(serverEnd)
    , link(frameLink)
{ }

QByteArray TcpFlow::open()
{
    return tcpFrame(client, server, {}, clientStart, 0, Tcp::syn, link);
}

QByteArray TcpFlow::accept()
{
    return tcpFrame(server, client, {}, serverStart, clientStart + 1, Tcp::syn | Tcp::ack, link);
}

QByteArray TcpFlow::out(const QByteArray &payload, quint8 flags)
{
    const QByteArray frame
        = tcpFrame(client, server, payload, clientStart + 1 + clientSent, serverStart + 1 + serverSent, flags, link);
    clientSent += quint32(payload.size()) + ((flags & Tcp::fin) ? 1 : 0);
    return frame;
}

QByteArray TcpFlow::in(const QByteArray &payload, quint8 flags)
{
    const QByteArray frame
        = tcpFrame(server, client, payload, serverStart + 1 + serverSent, clientStart + 1 + clientSent, flags, link);
    serverSent += quint32(payload.size()) + ((flags & Tcp::fin) ? 1 : 0);
    return frame;
}

QByteArray TcpFlow::inAt(quint32 offset, const QByteArray &payload) const
{
    return tcpFrame(server, client, payload, serverStart + 1 + offset, clientStart + 1 + clientSent,
                    Tcp::psh | Tcp::ack, link);
}
