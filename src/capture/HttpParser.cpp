#include "HttpParser.h"

#include "HttpText.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

using namespace HttpText;

namespace {

constexpr std::string_view methods[]
    = { "GET ", "HEAD ", "POST ", "PUT ", "DELETE ", "OPTIONS ", "PATCH ", "TRACE ", "CONNECT " };
constexpr std::string_view statusStart = "HTTP/1.";
constexpr qsizetype chunkLineLimit = 4096;
constexpr qint64 sizeLimit = qint64(1) << 60;
constexpr qsizetype unbounded = qsizetype(1) << 40;

bool startsWith(QByteArrayView text, std::string_view prefix)
{
    return text.size() >= qsizetype(prefix.size()) && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool chunkedIsLast(QByteArrayView codings)
{
    const qsizetype comma = codings.lastIndexOf(',');
    return equalsNoCase(trimmed(comma < 0 ? codings : codings.sliced(comma + 1)), "chunked");
}

// The first bytes of a message, as far as they have arrived, may begin a message from that side.
bool plausibleStart(HttpParser::Direction direction, const uchar *data, qsizetype size)
{
    const QByteArrayView text(data, size);
    const auto prefixOf = [&text](std::string_view token) {
        const qsizetype length = std::min(text.size(), qsizetype(token.size()));
        return std::memcmp(text.data(), token.data(), size_t(length)) == 0;
    };
    if (direction == HttpParser::FromServer) {
        return prefixOf(statusStart);
    }
    return std::any_of(std::begin(methods), std::end(methods), prefixOf);
}

// The lines of a header block, each without its line end.
class Lines
{
public:
    explicit Lines(QByteArrayView block)
        : rest(block)
    { }
    bool next(QByteArrayView &line)
    {
        if (rest.isEmpty()) {
            return false;
        }
        const qsizetype newline = rest.indexOf('\n');
        line = newline < 0 ? rest : rest.first(newline);
        rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + 1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        return true;
    }

private:
    QByteArrayView rest;
};

struct Field
{
    QByteArrayView name, value;
};

// A field line; obsolete folded continuation lines and lines without a colon are passed over.
bool splitField(QByteArrayView line, Field &field)
{
    const qsizetype colon = line.indexOf(':');
    if (line.isEmpty() || line.front() == ' ' || line.front() == '\t' || colon <= 0) {
        return false;
    }
    field.name = trimmed(line.first(colon));
    field.value = trimmed(line.sliced(colon + 1));
    return true;
}

// What the framing fields of a message say.
struct Framing
{
    bool hasLength = false, lengthValid = true, hasCoding = false, chunked = false;
    qint64 length = -1;

    void take(const Field &field)
    {
        if (equalsNoCase(field.name, "content-length")) {
            const qint64 value = contentLength(field.value);
            lengthValid = lengthValid && value >= 0 && (!hasLength || value == length);
            hasLength = true;
            length = value;
        } else if (equalsNoCase(field.name, "transfer-encoding")) {
            hasCoding = true;
            chunked = chunkedIsLast(field.value);
        }
    }
};

} // namespace

bool HttpParser::startsMessage(Direction direction, const uchar *data, qsizetype size)
{
    const QByteArrayView text(data, size);
    if (direction == FromServer) {
        return startsWith(text, statusStart);
    }
    return std::any_of(std::begin(methods), std::end(methods),
                       [&text](std::string_view method) { return startsWith(text, method); });
}

void HttpParser::begin(Direction direction, bool connectionStart)
{
    if (gaveUp) {
        return;
    }
    Side &side = sides[direction];
    side = Side();
    side.state = State::Head;
    side.strict = connectionStart;
    if (direction == FromServer && !connectionStart && serverFound) {
        // Found again after a loss: only the newest request can be this response's, and even that is a guess.
        response = Response();
        if (requests.size() > 1) {
            requests.remove(0, requests.size() - 1);
            uncertain = true;
        }
    }
    serverFound = serverFound || direction == FromServer;
}

void HttpParser::feed(Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    read(direction, data, size, listener);
    account(listener);
}

void HttpParser::read(Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    Side &side = sides[direction];
    while (size > 0) {
        switch (side.state) {
        case State::Lost:
        case State::Done:
            return;
        case State::Head: {
            const qsizetype taken = takeHead(direction, data, size, listener);
            data += taken;
            size -= taken;
            break;
        }
        case State::Body:
        case State::ChunkData: {
            const qsizetype taken = qsizetype(std::min<qint64>(side.remaining, size));
            bodyBytes(direction, data, taken, listener);
            data += taken;
            size -= taken;
            countOff(direction, taken, listener);
            break;
        }
        case State::UntilClose:
            bodyBytes(direction, data, size, listener);
            return;
        case State::ChunkSize:
        case State::ChunkDataEnd:
        case State::Trailer: {
            QByteArrayView line;
            if (!takeLine(side, data, size, line)) {
                if (side.state == State::Lost) {
                    lose(direction);
                }
                break;
            }
            if (side.state == State::ChunkDataEnd) {
                side.state = line.isEmpty() ? State::ChunkSize : State::Lost;
            } else if (side.state == State::Trailer) {
                if (line.isEmpty()) {
                    messageEnd(direction, listener);
                }
            } else {
                // The size in hex, then optional extensions after ";".
                const qsizetype semicolon = line.indexOf(';');
                const QByteArrayView digits = trimmed(semicolon < 0 ? line : line.first(semicolon));
                qint64 value = digits.isEmpty() ? -1 : 0;
                for (const char c : digits) {
                    const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : lower(c) >= 'a' && lower(c) <= 'f' ? lower(c) - 'a' + 10
                                                             : -1;
                    if (digit < 0 || value >= sizeLimit / 16) {
                        value = -1;
                        break;
                    }
                    value = value * 16 + digit;
                }
                if (value < 0) {
                    side.state = State::Lost;
                } else if (value == 0) {
                    side.state = State::Trailer;
                } else {
                    side.state = State::ChunkData;
                    side.remaining = value;
                }
            }
            side.gathered.clear();
            if (side.state == State::Lost) {
                lose(direction);
            }
            break;
        }
        }
    }
}

void HttpParser::skip(Direction direction, qsizetype size, HttpListener &listener)
{
    Side &side = sides[direction];
    if (size <= 0 || side.state == State::Lost || side.state == State::Done) {
        return;
    }
    const bool counted = side.state == State::Body || side.state == State::ChunkData;
    if ((counted && size > side.remaining) || (!counted && side.state != State::UntilClose)) {
        // Bytes that went missing say nothing about the protocol.
        side.strict = false;
        lose(direction);
        return;
    }
    if (direction == FromServer && response.media.body(nullptr, size)) {
        report(listener);
    }
    if (counted) {
        countOff(direction, size, listener);
    }
}

void HttpParser::countOff(Direction direction, qsizetype size, HttpListener &listener)
{
    Side &side = sides[direction];
    side.remaining -= size;
    if (side.remaining > 0) {
        return;
    }
    if (side.state == State::Body) {
        messageEnd(direction, listener);
    } else {
        side.state = State::ChunkDataEnd;
    }
}

void HttpParser::end(Direction direction, HttpListener &listener)
{
    Side &side = sides[direction];
    if (side.state == State::UntilClose) {
        messageEnd(direction, listener);
    }
    side = Side();
    side.state = State::Done;
    if (direction == FromServer) {
        response = Response();
    }
    account(listener);
}

void HttpParser::account(HttpListener &listener)
{
    qsizetype bytes = sides[FromClient].gathered.capacity() + sides[FromServer].gathered.capacity();
    for (const Request &request : std::as_const(requests)) {
        bytes += request.header.capacity();
    }
    bytes += response.request.header.capacity();
    if (!held.set(listener.headerBudget(), bytes)) {
        giveUp();
        held.release();
    }
}

qsizetype HttpParser::ignorable(Direction direction) const
{
    const Side &side = sides[direction];
    if (direction == FromServer && response.media.wantsSignature()) {
        return 0;
    }
    switch (side.state) {
    case State::Body:
    case State::ChunkData:
        return qsizetype(side.remaining);
    case State::UntilClose:
        return unbounded;
    default:
        return 0;
    }
}

bool HttpParser::following(Direction direction) const
{
    return sides[direction].state != State::Lost;
}

qsizetype HttpParser::takeHead(Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    Side &side = sides[direction];
    qsizetype dropped = 0;
    qsizetype scan = 0;
    while (scan < size) {
        if (side.blankSoFar && side.gathered.isEmpty() && data[scan] != '\r' && data[scan] != '\n'
            && !plausibleStart(direction, data + scan, size - scan)) {
            lose(direction);
            return dropped + size;
        }
        const auto *newline = static_cast<const uchar *>(std::memchr(data + scan, '\n', size_t(size - scan)));
        if (!newline) {
            side.lineLength += size - scan;
            side.blankSoFar = side.blankSoFar && side.lineLength == 1 && data[size - 1] == '\r';
            break;
        }
        const qsizetype lineEnd = newline - data;
        const qsizetype length = side.lineLength + (lineEnd - scan);
        const char before = lineEnd > scan ? char(data[lineEnd - 1])
            : side.gathered.isEmpty()      ? '\0'
                                           : side.gathered.back();
        const bool blank = length == 0 || (length == 1 && before == '\r');
        scan = lineEnd + 1;
        side.lineLength = 0;
        if (!blank) {
            side.blankSoFar = false;
            continue;
        }
        if (side.blankSoFar) {
            // Empty lines before a start line are passed over.
            side.gathered.clear();
            data += scan;
            size -= scan;
            dropped += scan;
            scan = 0;
            continue;
        }
        if (side.gathered.size() + scan > headerLimit) {
            lose(direction);
            return dropped + size;
        }
        bool parsed = false;
        if (side.gathered.isEmpty()) {
            const QByteArrayView block(data, scan);
            parsed = direction == FromClient ? parseRequest(block) : parseResponse(block, listener);
        } else {
            side.gathered.append(reinterpret_cast<const char *>(data), scan);
            const QByteArray block = std::exchange(side.gathered, {});
            parsed = direction == FromClient ? parseRequest(block) : parseResponse(block, listener);
        }
        if (!parsed) {
            lose(direction);
            return dropped + size;
        }
        return dropped + scan;
    }
    if (side.gathered.size() + size > headerLimit) {
        lose(direction);
    } else {
        side.gathered.append(reinterpret_cast<const char *>(data), size);
    }
    return dropped + size;
}

bool HttpParser::takeLine(Side &side, const uchar *&data, qsizetype &size, QByteArrayView &line)
{
    const auto *newline = static_cast<const uchar *>(std::memchr(data, '\n', size_t(size)));
    const qsizetype length = newline ? newline - data : size;
    const qsizetype limit = side.state == State::Trailer ? headerLimit : chunkLineLimit;
    if (side.gathered.size() + length > limit) {
        side.state = State::Lost;
        side.gathered.clear();
        size = 0;
        return false;
    }
    if (!newline) {
        side.gathered.append(reinterpret_cast<const char *>(data), size);
        size = 0;
        return false;
    }
    if (side.gathered.isEmpty()) {
        line = QByteArrayView(data, length);
    } else {
        side.gathered.append(reinterpret_cast<const char *>(data), length);
        line = side.gathered;
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    data += length + 1;
    size -= length + 1;
    return true;
}

bool HttpParser::parseRequest(QByteArrayView block)
{
    Lines lines(block);
    QByteArrayView line;
    lines.next(line);
    const qsizetype firstSpace = line.indexOf(' ');
    const qsizetype lastSpace = line.lastIndexOf(' ');
    if (firstSpace <= 0 || lastSpace <= firstSpace || !startsWith(line.sliced(lastSpace + 1), statusStart)) {
        return false;
    }
    const QByteArrayView method = line.first(firstSpace);
    Request request;
    request.kind = method == "GET" ? Request::Get
        : method == "HEAD"         ? Request::Head
        : method == "CONNECT"      ? Request::Connect
                                   : Request::Other;
    const QByteArrayView target = trimmed(line.sliced(firstSpace + 1, lastSpace - firstSpace - 1));
    request.targetBegin = target.data() - block.data();
    request.targetLength = target.size();

    Framing framing;
    bool hostSeen = false;
    Field field;
    while (lines.next(line)) {
        if (!splitField(line, field)) {
            continue;
        }
        if (!hostSeen && equalsNoCase(field.name, "host")) {
            hostSeen = true;
            request.hostBegin = field.value.data() - block.data();
            request.hostLength = field.value.size();
        }
        framing.take(field);
    }
    if ((framing.hasCoding && !framing.chunked) || (!framing.hasCoding && !framing.lengthValid)) {
        return false;
    }
    if (requests.size() >= pipelineLimit) {
        giveUp();
        return true;
    }
    // Only a request that may be reported keeps its header.
    if (request.kind == Request::Get) {
        request.header = block.toByteArray();
    }
    requests.append(std::move(request));

    Side &side = sides[FromClient];
    side = Side();
    if (requests.back().kind == Request::Connect) {
        // Whatever follows is the tunnel's until the answer refuses it and another request comes.
        side.state = State::Lost;
    } else if (framing.hasCoding) {
        side.state = State::ChunkSize;
    } else if (framing.length > 0) {
        side.state = State::Body;
        side.remaining = framing.length;
    } else {
        side.state = State::Head;
    }
    return true;
}

bool HttpParser::parseResponse(QByteArrayView block, HttpListener &listener)
{
    Lines lines(block);
    QByteArrayView line;
    lines.next(line);
    const qsizetype space = line.indexOf(' ');
    const qint64 status
        = space > 0 ? decimal(line.sliced(space + 1).first(std::min<qsizetype>(3, line.size() - space - 1))) : -1;
    if (!startsWith(line, statusStart) || status < 100 || status > 999) {
        return false;
    }
    Framing framing;
    QByteArrayView contentType, contentRange, contentEncoding;
    Field field;
    while (lines.next(line)) {
        if (!splitField(line, field)) {
            continue;
        }
        if (equalsNoCase(field.name, "content-type")) {
            contentType = field.value;
        } else if (equalsNoCase(field.name, "content-range")) {
            contentRange = field.value;
        } else if (equalsNoCase(field.name, "content-encoding")) {
            contentEncoding = field.value;
        } else {
            framing.take(field);
        }
    }
    Side &side = sides[FromServer];
    side = Side();
    side.state = State::Head;
    if (status == 101) {
        giveUp();
        return true;
    }
    if (status < 200) {
        return true;
    }

    Request request;
    const bool answered = !requests.isEmpty();
    if (answered) {
        request = requests.takeFirst();
        uncertain = uncertain || request.kind == Request::Unknown;
    }
    if (request.kind == Request::Connect && status < 300) {
        giveUp();
        return true;
    }
    if (request.kind == Request::Head || status == 204 || status == 304) {
        messageEnd(FromServer, listener);
        return true;
    }
    if (!framing.hasCoding && !framing.lengthValid) {
        return false;
    }
    if (framing.hasCoding) {
        side.state = framing.chunked ? State::ChunkSize : State::UntilClose;
    } else if (framing.hasLength) {
        side.state = State::Body;
        side.remaining = framing.length;
    } else {
        side.state = State::UntilClose;
    }
    const bool counted = !framing.hasCoding && framing.hasLength;

    response = Response();
    response.request = std::move(request);
    const bool get = !uncertain && response.request.kind == Request::Get;
    if (response.media.start(get, status, counted ? framing.length : -1, contentType, contentRange, contentEncoding,
                             listener.bodyBudget())) {
        report(listener);
    }
    if (counted && framing.length == 0) {
        messageEnd(FromServer, listener);
    }
    return true;
}

void HttpParser::bodyBytes(Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    if (direction == FromServer && response.media.body(data, size)) {
        report(listener);
    }
}

void HttpParser::messageEnd(Direction direction, HttpListener &listener)
{
    Side &side = sides[direction];
    side = Side();
    side.state = State::Head;
    if (direction == FromServer) {
        if (response.media.end()) {
            report(listener);
        }
        response = Response();
        if (requests.isEmpty()) {
            uncertain = false;
        }
    }
}

void HttpParser::report(HttpListener &listener)
{
    const Request &request = response.request;
    HttpMedia media;
    media.requestHeader = request.header;
    media.target = QByteArrayView(media.requestHeader).sliced(request.targetBegin, request.targetLength);
    media.host = QByteArrayView(media.requestHeader).sliced(request.hostBegin, request.hostLength);
    media.size = response.media.size();
    media.mediaType = response.media.mediaType();
    media.body = response.media.takeBody();
    response.media.stop();
    listener.mediaFound(media);
}

void HttpParser::lose(Direction direction)
{
    Side &side = sides[direction];
    if (side.strict) {
        giveUp();
        return;
    }
    side = Side();
    if (direction == FromClient) {
        // Requests may be missing from here on: a placeholder keeps the order of the answers.
        if (requests.isEmpty() || requests.back().kind != Request::Unknown) {
            if (requests.size() >= pipelineLimit) {
                giveUp();
                return;
            }
            requests.append(Request());
        }
    } else {
        response = Response();
        requests.clear();
    }
}

void HttpParser::giveUp()
{
    gaveUp = true;
    for (Side &side : sides) {
        side = Side();
        side.state = State::Done;
    }
    requests.clear();
    response = Response();
}
