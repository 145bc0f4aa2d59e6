#include "Http2Reader.h"

#include "HttpText.h"
#include "Trace.h"

#include <nghttp2/nghttp2.h>

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace HttpText;

namespace {

constexpr QByteArrayView preface("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n");

enum FrameType : quint8 {
    Data = 0x0,
    Headers = 0x1,
    RstStream = 0x3,
    Settings = 0x4,
    PushPromise = 0x5,
    GoAway = 0x7,
    Continuation = 0x9,
};

enum Flag : quint8 { EndStream = 0x1, Ack = 0x1, EndHeaders = 0x4, Padded = 0x8, Priority = 0x20 };

constexpr quint16 headerTableSize = 0x1;

quint32 bigEndian(const uchar *bytes, int count)
{
    quint32 value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// Frames that are read whole: header block fragments, and the few control frames whose content matters.
bool gatheredWhole(quint8 type)
{
    return type == Headers || type == Continuation || type == PushPromise || type == Settings || type == GoAway;
}

} // namespace

void Http2Reader::InflaterDelete::operator()(nghttp2_hd_inflater *inflater) const
{
    nghttp2_hd_inflate_del(inflater);
}

Http2Reader::Http2Reader()
{
    for (Side &side : sides) {
        nghttp2_hd_inflater *inflater = nullptr;
        if (nghttp2_hd_inflate_new(&inflater) != 0) {
            abandon("no memory for an HPACK inflater");
            return;
        }
        side.inflater.reset(inflater);
    }
}

Http2Reader::~Http2Reader() = default;

void Http2Reader::feed(HttpParser::Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    read(direction, data, size, listener);
    account(listener);
}

void Http2Reader::account(HttpListener &listener)
{
    if (gaveUp) {
        held.release();
        return;
    }
    qsizetype bytes = heldHeaderBytes;
    for (const Side &side : sides) {
        bytes += side.gathered.capacity() + side.block.capacity() + side.tableSize;
    }
    if (!held.set(listener.headerBudget(), bytes)) {
        abandon("the capture holds too much header text already");
        held.release();
    }
}

void Http2Reader::read(HttpParser::Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    Side &side = sides[direction];
    if (direction == HttpParser::FromClient && side.prefaceSeen < preface.size() && !gaveUp) {
        const qsizetype taken = std::min(size, preface.size() - side.prefaceSeen);
        if (std::memcmp(data, preface.data() + side.prefaceSeen, size_t(taken)) != 0) {
            abandon("the client did not start with the connection preface");
            return;
        }
        side.prefaceSeen += taken;
        data += taken;
        size -= taken;
    }
    while (size > 0 && !gaveUp) {
        if (side.headLength < sizeof side.head) {
            const qsizetype taken = std::min<qsizetype>(size, qsizetype(sizeof side.head) - side.headLength);
            std::memcpy(side.head + side.headLength, data, size_t(taken));
            side.headLength = quint8(side.headLength + taken);
            data += taken;
            size -= taken;
            if (side.headLength == sizeof side.head) {
                frameStart(direction);
                if (!gaveUp && side.remaining == 0) {
                    frameEnd(direction, listener);
                }
            }
            continue;
        }
        const qsizetype taken = std::min(size, side.remaining);
        payload(direction, data, taken, listener);
        if (gaveUp) {
            return;
        }
        data += taken;
        size -= taken;
        side.remaining -= taken;
        if (side.remaining == 0) {
            frameEnd(direction, listener);
        }
    }
}

void Http2Reader::frameStart(HttpParser::Direction direction)
{
    Side &side = sides[direction];
    // The 24-bit length cannot pass 16 MiB, the largest SETTINGS_MAX_FRAME_SIZE allows.
    side.remaining = qsizetype(bigEndian(side.head, 3));
    side.type = side.head[3];
    side.flags = side.head[4];
    side.stream = bigEndian(side.head + 5, 4) & 0x7fffffff;
    side.content = side.type == Data && !(side.flags & Padded) ? side.remaining : 0;
    side.padRead = false;
    side.gathered.clear();
    if (side.continuing != (side.type == Continuation) || (side.continuing && side.stream != side.blockStream)) {
        abandon("a header block was interrupted or continued out of place");
    } else if (side.stream == 0
               && (side.type == Data || side.type == Headers || side.type == PushPromise || side.type == RstStream)) {
        abandon("a stream frame on stream 0");
    } else if (gatheredWhole(side.type) && side.block.size() + side.remaining > headerBlockLimit) {
        abandon("a header block or control frame is too large");
    }
}

void Http2Reader::payload(HttpParser::Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    Side &side = sides[direction];
    if (gatheredWhole(side.type)) {
        side.gathered.append(reinterpret_cast<const char *>(data), size);
        return;
    }
    if (side.type != Data) {
        return;
    }
    if ((side.flags & Padded) && !side.padRead) {
        side.padRead = true;
        side.content = side.remaining - 1 - data[0];
        if (side.content < 0) {
            abandon("DATA padding longer than its frame");
            return;
        }
        ++data;
        --size;
    }
    const qsizetype content = std::min(size, side.content);
    side.content -= content;
    if (direction != HttpParser::FromServer || content == 0) {
        return;
    }
    const auto found = streams.find(side.stream);
    if (found != streams.end() && found->second.media.body(data, content)) {
        report(found->second, listener);
    }
}

void Http2Reader::frameEnd(HttpParser::Direction direction, HttpListener &listener)
{
    Side &side = sides[direction];
    side.headLength = 0;
    const QByteArrayView body(side.gathered);
    switch (side.type) {
    case Data:
        if ((side.flags & Padded) && !side.padRead) {
            abandon("a padded DATA frame without its pad length");
        } else if ((side.flags & EndStream) && direction == HttpParser::FromServer) {
            finish(side.stream, listener);
        }
        break;
    case Headers:
    case PushPromise: {
        const qsizetype padLength = (side.flags & Padded) && !body.isEmpty() ? quint8(body[0]) : 0;
        const qsizetype skipped = ((side.flags & Padded) ? 1 : 0)
            + (side.type == PushPromise      ? 4
                   : (side.flags & Priority) ? 5
                                             : 0);
        if (skipped + padLength > body.size()) {
            abandon("a header frame shorter than its padding and fields");
            break;
        }
        side.blockStream = side.stream;
        side.blockEnds = side.type == Headers && (side.flags & EndStream);
        side.blockPushed = side.type == PushPromise;
        headerFragment(direction, body.sliced(skipped, body.size() - skipped - padLength), listener);
        break;
    }
    case Continuation:
        headerFragment(direction, body, listener);
        break;
    case Settings:
        settings(direction);
        break;
    case RstStream:
        forget(streams.find(side.stream));
        break;
    case GoAway:
        // Streams above the last one the server took were never served.
        if (direction == HttpParser::FromServer && body.size() >= 8) {
            const quint32 last = bigEndian(reinterpret_cast<const uchar *>(body.data()), 4) & 0x7fffffff;
            while (!streams.empty() && streams.rbegin()->first > last) {
                forget(std::prev(streams.end()));
            }
        }
        break;
    default:
        break;
    }
    side.gathered.clear();
}

void Http2Reader::headerFragment(HttpParser::Direction direction, QByteArrayView fragment, HttpListener &listener)
{
    Side &side = sides[direction];
    side.block.append(fragment);
    side.continuing = !(side.flags & EndHeaders);
    if (side.continuing) {
        return;
    }
    Fields fields;
    const bool inflated = inflate(side, fields);
    side.block.clear();
    if (!inflated || side.blockPushed) {
        return;
    }
    if (direction == HttpParser::FromClient) {
        request(side.blockStream, fields);
    } else {
        answer(side.blockStream, fields, side.blockEnds, listener);
    }
}

void Http2Reader::settings(HttpParser::Direction direction)
{
    Side &side = sides[direction];
    Side &other = sides[1 - direction];
    if (side.flags & Ack) {
        // The peer now encodes for the table size the other side asked for.
        if (!other.pendingTableSizes.empty()) {
            const qint64 size = other.pendingTableSizes.front();
            other.pendingTableSizes.pop_front();
            if (size >= 0) {
                side.tableSize = qsizetype(std::min(size, qint64(tableSizeLimit)));
                if (nghttp2_hd_inflate_change_table_size(side.inflater.get(), size_t(side.tableSize)) != 0) {
                    abandon("the HPACK table size could not be changed");
                }
            }
        }
        return;
    }
    if (side.gathered.size() % 6 != 0 || side.stream != 0) {
        abandon("a malformed SETTINGS frame");
        return;
    }
    if (qsizetype(side.pendingTableSizes.size()) >= pendingSettingsLimit) {
        abandon("too many SETTINGS frames without acknowledgement");
        return;
    }
    qint64 tableSize = -1;
    const auto *bytes = reinterpret_cast<const uchar *>(side.gathered.constData());
    for (qsizetype at = 0; at < side.gathered.size(); at += 6) {
        if (bigEndian(bytes + at, 2) == headerTableSize) {
            tableSize = bigEndian(bytes + at + 2, 4);
        }
    }
    side.pendingTableSizes.push_back(tableSize);
}

bool Http2Reader::inflate(Side &side, Fields &fields)
{
    const auto *in = reinterpret_cast<const uint8_t *>(side.block.constData());
    size_t left = size_t(side.block.size());
    qsizetype listSize = 0;
    while (true) {
        nghttp2_nv field {};
        int flags = 0;
        const ssize_t used = nghttp2_hd_inflate_hd2(side.inflater.get(), &field, &flags, in, left, 1);
        if (used < 0) {
            abandon("a header block failed to decompress");
            return false;
        }
        in += used;
        left -= size_t(used);
        if (flags & NGHTTP2_HD_INFLATE_EMIT) {
            listSize += qsizetype(field.namelen + field.valuelen) + 32;
            if (listSize > headerListLimit) {
                abandon("a header block decodes to more than its limit");
                return false;
            }
            fields.append({ QByteArray(reinterpret_cast<const char *>(field.name), qsizetype(field.namelen)),
                            QByteArray(reinterpret_cast<const char *>(field.value), qsizetype(field.valuelen)) });
        }
        if (flags & NGHTTP2_HD_INFLATE_FINAL) {
            nghttp2_hd_inflate_end_headers(side.inflater.get());
            return true;
        }
        if (!(flags & NGHTTP2_HD_INFLATE_EMIT) && used == 0) {
            abandon("a header block ended inside a field");
            return false;
        }
    }
}

void Http2Reader::request(quint32 id, const Fields &fields)
{
    QByteArray method, authority, path, lines;
    qsizetype hostBegin = -1, hostLength = 0;
    for (const auto &[name, value] : fields) {
        if (name == ":method") {
            method = value;
        } else if (name == ":authority") {
            authority = value;
        } else if (name == ":path") {
            path = value;
        } else if (name.startsWith(':') || (name == "host" && !authority.isEmpty())) {
            continue;
        } else {
            if (name == "host" && hostBegin < 0) {
                hostBegin = lines.size() + name.size() + 2;
                hostLength = value.size();
            }
            lines += name + ": " + value + "\r\n";
        }
    }
    if (method != "GET" || path.isEmpty() || streams.count(id) != 0) {
        return;
    }
    Stream stream;
    stream.requestHeader = "GET " + path + " HTTP/1.1\r\n";
    stream.targetBegin = 4;
    stream.targetLength = path.size();
    if (!authority.isEmpty()) {
        stream.requestHeader += "Host: ";
        stream.hostBegin = stream.requestHeader.size();
        stream.hostLength = authority.size();
        stream.requestHeader += authority + "\r\n";
    } else if (hostBegin >= 0) {
        stream.hostBegin = stream.requestHeader.size() + hostBegin;
        stream.hostLength = hostLength;
    }
    stream.requestHeader += lines + "\r\n";
    heldHeaderBytes += stream.requestHeader.size();
    streams.emplace(id, std::move(stream));
    // Requests that are never answered must not pile up: the oldest go first.
    while (qsizetype(streams.size()) > streamLimit || heldHeaderBytes > heldHeaderLimit) {
        forget(streams.begin());
    }
}

void Http2Reader::answer(quint32 id, const Fields &fields, bool ends, HttpListener &listener)
{
    const auto found = streams.find(id);
    if (found == streams.end()) {
        return;
    }
    if (found->second.answered) {
        // Trailers: a block that ends the stream ends the body too.
        if (ends) {
            finish(id, listener);
        }
        return;
    }
    qint64 status = -1, length = -1;
    QByteArrayView contentType, contentRange, contentEncoding;
    for (const auto &[name, value] : fields) {
        if (name == ":status") {
            status = decimal(value);
        } else if (name == "content-type") {
            contentType = value;
        } else if (name == "content-length") {
            length = contentLength(value);
        } else if (name == "content-range") {
            contentRange = value;
        } else if (name == "content-encoding") {
            contentEncoding = value;
        }
    }
    if (status >= 100 && status < 200 && !ends) {
        // An interim answer: the final one follows on the same stream.
        return;
    }
    Stream &stream = found->second;
    stream.answered = true;
    if (stream.media.start(true, status, ends ? 0 : length, contentType, contentRange, contentEncoding,
                           listener.bodyBudget())) {
        report(stream, listener);
    }
    if (ends) {
        forget(found);
    }
}

void Http2Reader::report(Stream &stream, HttpListener &listener)
{
    HttpMedia media;
    media.requestHeader = stream.requestHeader;
    media.target = QByteArrayView(media.requestHeader).sliced(stream.targetBegin, stream.targetLength);
    media.host = QByteArrayView(media.requestHeader).sliced(stream.hostBegin, stream.hostLength);
    media.size = stream.media.size();
    media.mediaType = stream.media.mediaType();
    media.body = stream.media.takeBody();
    stream.media.stop();
    listener.mediaFound(media);
}

void Http2Reader::finish(quint32 id, HttpListener &listener)
{
    const auto found = streams.find(id);
    if (found == streams.end()) {
        return;
    }
    if (found->second.media.end()) {
        report(found->second, listener);
    }
    forget(found);
}

void Http2Reader::forget(std::map<quint32, Stream>::iterator stream)
{
    if (stream != streams.end()) {
        heldHeaderBytes -= stream->second.requestHeader.size();
        streams.erase(stream);
    }
}

void Http2Reader::abandon(const char *why)
{
    if (gaveUp) {
        return;
    }
    gaveUp = true;
    trace() << "Http2Reader : connection abandoned," << why;
    streams.clear();
    heldHeaderBytes = 0;
    for (Side &side : sides) {
        side.gathered.clear();
        side.block.clear();
        side.pendingTableSizes.clear();
        side.inflater.reset();
    }
}
