#include "FrameDecoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr quint16 etherIpv4 = 0x0800;
constexpr quint16 etherIpv6 = 0x86dd;
constexpr quint8 protocolTcp = 6;
constexpr qsizetype tcpHeaderLength = 20;
constexpr int vlanTagLimit = 4;
constexpr int extensionHeaderLimit = 8;

quint16 read16(const uchar *at)
{
    return quint16(at[0] << 8 | at[1]);
}

quint32 read32(const uchar *at)
{
    return quint32(at[0]) << 24 | quint32(at[1]) << 16 | quint32(at[2]) << 8 | quint32(at[3]);
}

// The TCP header at tcp, followed by payload up to end; wireEnd is where the IP header says the packet ends.
bool decodeTcp(const uchar *tcp, const uchar *end, const uchar *wireEnd, TcpSegment &segment)
{
    if (end - tcp < tcpHeaderLength) {
        return false;
    }
    const qsizetype headerLength = (tcp[12] >> 4) * 4;
    if (headerLength < tcpHeaderLength || end - tcp < headerLength) {
        return false;
    }
    segment.source.port = read16(tcp);
    segment.destination.port = read16(tcp + 2);
    segment.sequence = read32(tcp + 4);
    segment.acknowledgement = read32(tcp + 8);
    segment.flags = tcp[13];
    segment.payload = tcp + headerLength;
    segment.captured = end - segment.payload;
    segment.missing = std::max<qsizetype>(wireEnd - end, 0);
    return true;
}

bool decodeIpv4(const uchar *ip, const uchar *end, TcpSegment &segment)
{
    if (end - ip < 20 || (ip[0] >> 4) != 4) {
        return false;
    }
    const qsizetype headerLength = (ip[0] & 0x0f) * 4;
    const qsizetype totalLength = read16(ip + 2);
    const bool laterFragment = ((ip[6] & 0x1f) | ip[7]) != 0;
    if (headerLength < 20 || end - ip < headerLength || ip[9] != protocolTcp || laterFragment) {
        return false;
    }
    // A zero total length comes from segmentation offload: the frame's own length holds.
    const uchar *wireEnd = end;
    if (totalLength != 0) {
        if (totalLength < headerLength) {
            return false;
        }
        wireEnd = ip + totalLength;
    }
    segment.source = {};
    segment.destination = {};
    std::memcpy(segment.source.address.data(), ip + 12, 4);
    std::memcpy(segment.destination.address.data(), ip + 16, 4);
    return decodeTcp(ip + headerLength, std::min(end, wireEnd), wireEnd, segment);
}

bool decodeIpv6(const uchar *ip, const uchar *end, TcpSegment &segment)
{
    if (end - ip < 40 || (ip[0] >> 4) != 6) {
        return false;
    }
    const qsizetype payloadLength = read16(ip + 4);
    const uchar *wireEnd = payloadLength != 0 ? ip + 40 + payloadLength : end;
    const uchar *const limit = std::min(end, wireEnd);
    quint8 next = ip[6];
    const uchar *at = ip + 40;
    for (int skipped = 0; next != protocolTcp; ++skipped) {
        if (skipped == extensionHeaderLimit || limit - at < 8) {
            return false;
        }
        qsizetype length = 0;
        switch (next) {
        case 0: // hop-by-hop options
        case 43: // routing
        case 60: // destination options
            length = (at[1] + 1) * 8;
            break;
        case 44: // fragment
            if ((read16(at + 2) & 0xfff8) != 0) {
                return false;
            }
            length = 8;
            break;
        case 51: // authentication header
            length = (at[1] + 2) * 4;
            break;
        default:
            return false;
        }
        if (limit - at < length) {
            return false;
        }
        next = at[0];
        at += length;
    }
    segment.source = {};
    segment.destination = {};
    std::memcpy(segment.source.address.data(), ip + 8, 16);
    std::memcpy(segment.destination.address.data(), ip + 24, 16);
    segment.source.v6 = segment.destination.v6 = true;
    return decodeTcp(at, limit, wireEnd, segment);
}

bool decodeIp(quint16 etherType, const uchar *ip, const uchar *end, TcpSegment &segment)
{
    switch (etherType) {
    case etherIpv4:
        return decodeIpv4(ip, end, segment);
    case etherIpv6:
        return decodeIpv6(ip, end, segment);
    default:
        return false;
    }
}

// Raw IP: the version nibble tells the protocol.
bool decodeRaw(const uchar *ip, const uchar *end, TcpSegment &segment)
{
    if (ip >= end) {
        return false;
    }
    return decodeIp((ip[0] >> 4) == 6 ? etherIpv6 : etherIpv4, ip, end, segment);
}

bool decodeEthernet(const uchar *frame, const uchar *end, TcpSegment &segment)
{
    const uchar *at = frame + 12;
    for (int tags = 0; end - at >= 2; ++tags) {
        const quint16 type = read16(at);
        if (type != 0x8100 && type != 0x88a8 && type != 0x9100) {
            return decodeIp(type, at + 2, end, segment);
        }
        if (tags == vlanTagLimit) {
            return false;
        }
        at += 4;
    }
    return false;
}

} // namespace

bool decodeFrame(int linkType, const uchar *frame, qsizetype length, TcpSegment &segment)
{
    const uchar *const end = frame + length;
    switch (linkType) {
    case LinkType::ethernet:
        return decodeEthernet(frame, end, segment);
    case LinkType::raw:
    case LinkType::rawOpenBsd:
    case LinkType::rawLinkType:
    case LinkType::ipv4:
    case LinkType::ipv6:
        return decodeRaw(frame, end, segment);
    case LinkType::null:
    case LinkType::loop:
        return length >= 4 && decodeRaw(frame + 4, end, segment);
    case LinkType::linuxSll:
        return length >= 16 && decodeIp(read16(frame + 14), frame + 16, end, segment);
    case LinkType::linuxSll2:
        return length >= 20 && decodeIp(read16(frame), frame + 20, end, segment);
    default:
        return false;
    }
}
