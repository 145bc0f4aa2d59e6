#include "FrameBuilder.h"

QByteArray tcpFrame(const Endpoint &from, const Endpoint &to, const QByteArray &payload)
{
    QByteArray frame(FrameOffset::payload, '\0');
    const auto put = [&frame](int at, std::initializer_list<int> values) {
        for (const int value : values) {
            frame[at++] = char(value);
        }
    };
    put(0, { 0x02, 0, 0, 0, 0, 0x02, 0x02, 0, 0, 0, 0, 0x01 });
    put(FrameOffset::etherType, { 0x08, 0x00 });
    const int total = 40 + int(payload.size());
    put(FrameOffset::ip, { 0x45, 0, (total >> 8) & 0xff, total & 0xff, 0, 0, 0x40, 0, 64, 6 });
    put(FrameOffset::ip + 12, { from.address[0], from.address[1], from.address[2], from.address[3] });
    put(FrameOffset::ip + 16, { to.address[0], to.address[1], to.address[2], to.address[3] });
    put(FrameOffset::tcp, { from.port >> 8, from.port & 0xff, to.port >> 8, to.port & 0xff });
    put(FrameOffset::tcp + 12, { 0x50, 0x18 });
    return frame + payload;
}
