#pragma once

#include <QtGlobal>

#include <array>

// The link types a capture handle may deliver (pcap_datalink values), kept here so that the decoder needs no
// capture library.
namespace LinkType {
constexpr int null = 0; // BSD loopback: a 4-byte address family
constexpr int ethernet = 1; // DLT_EN10MB
constexpr int raw = 12; // DLT_RAW as Linux numbers it
constexpr int rawOpenBsd = 14;
constexpr int loop = 108;
constexpr int rawLinkType = 101; // LINKTYPE_RAW, as stored in capture files
constexpr int linuxSll = 113;
constexpr int ipv4 = 228;
constexpr int ipv6 = 229;
constexpr int linuxSll2 = 276;
} // namespace LinkType

struct TcpEndpoint
{
    // IPv4 addresses fill the first four bytes; the rest stay zero.
    std::array<quint8, 16> address {};
    // In host byte order.
    quint16 port = 0;
    bool v6 = false;

    friend bool operator==(const TcpEndpoint &, const TcpEndpoint &) = default;
};

namespace TcpFlag {
constexpr quint8 fin = 0x01;
constexpr quint8 syn = 0x02;
constexpr quint8 rst = 0x04;
constexpr quint8 ack = 0x10;
} // namespace TcpFlag

// One TCP segment as it stands in a captured frame. The payload points into the frame.
struct TcpSegment
{
    TcpEndpoint source, destination;
    quint32 sequence = 0;
    quint32 acknowledgement = 0;
    quint8 flags = 0;
    const uchar *payload = nullptr;
    // Payload bytes present in the frame, and those the IP header announces beyond them (a frame cut by the
    // snapshot length).
    qsizetype captured = 0;
    qsizetype missing = 0;
};

// Reads an IPv4 or IPv6 TCP segment out of a frame of the given link type: Ethernet (with 802.1Q/802.1ad
// tags), raw IP, Linux cooked capture (v1 and v2) and BSD loopback; IPv6 extension headers are skipped. False
// for anything else, for fragments after the first and for frames too short for the headers they announce.
// Every length is checked against the captured bytes before it is used.
bool decodeFrame(int linkType, const uchar *frame, qsizetype length, TcpSegment &segment);
