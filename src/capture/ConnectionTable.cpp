#include "ConnectionTable.h"

#include "KeyLog.h"
#include "Trace.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Sequence numbers wrap: the signed distance from base to sequence.
qint64 distance(quint32 base, quint32 sequence)
{
    return qint32(sequence - base);
}

bool lessThan(const TcpEndpoint &a, const TcpEndpoint &b)
{
    const int order = std::memcmp(a.address.data(), b.address.data(), a.address.size());
    return order < 0 || (order == 0 && a.port < b.port);
}

quint64 mix(quint64 hash, quint64 word)
{
    hash = (hash ^ word) * 0x9e3779b97f4a7c15ULL;
    return hash ^ (hash >> 29);
}

quint64 mix(quint64 hash, const TcpEndpoint &endpoint)
{
    quint64 words[2];
    std::memcpy(words, endpoint.address.data(), sizeof words);
    return mix(mix(mix(hash, words[0]), words[1]), endpoint.port);
}

constexpr qint64 evictionLogInterval = 10;
constexpr qint64 acknowledgementReach = qint64(1) << 30;

// A segment that starts a TLS ServerHello: a handshake record whose first message is of type 2.
bool startsServerHello(const TcpSegment &segment)
{
    return segment.captured >= 6 && segment.payload[0] == 22 && segment.payload[1] == 3 && segment.payload[5] == 2;
}

} // namespace

class ConnectionTable::Delivery final : public HttpListener
{
public:
    Delivery(ConnectionTable &owner, const Connection &followed)
        : table(owner)
        , connection(followed)
    { }
    void mediaFound(const HttpMedia &media) override
    {
        table.sink(connection.clientSide == 0 ? connection.key.high : connection.key.low, media,
                   connection.secure != nullptr);
    }
    ByteBudget *bodyBudget() override { return &table.keptBodies; }
    ByteBudget *headerBudget() override { return &table.headers; }

private:
    ConnectionTable &table;
    const Connection &connection;
};

size_t ConnectionTable::KeyHash::operator()(const Key &key) const
{
    return size_t(mix(mix(0, key.low), key.high));
}

ConnectionTable::ConnectionTable(MediaSink mediaSink, KeyLog *keys, const ConnectionLimits &bounds)
    : sink(std::move(mediaSink))
    , keyLog(keys)
    , limits(bounds)
    , overall(bounds.overallBytes, "bytes of every kind")
    , holes(bounds.heldBytes, "bytes held for holes", &overall)
    , tlsRecords(bounds.tlsHeldBytes, "TLS records waiting for keys", &overall)
    , keptBodies(bounds.keptBodyBytes, "playlist bodies", &overall)
    , headers(bounds.headerBytes, "HTTP header text", &overall)
{
    connections.reserve(size_t(std::min<qsizetype>(limits.connections, 4096)));
}

ConnectionTable::~ConnectionTable() = default;

void ConnectionTable::handle(const TcpSegment &segment, qint64 now)
{
    expire(now);
    retryKeys(now);
    const int side = lessThan(segment.destination, segment.source) ? 1 : 0;
    const Key key
        = side == 0 ? Key { segment.source, segment.destination } : Key { segment.destination, segment.source };
    const bool syn = segment.flags & TcpFlag::syn;
    const bool synOnly = syn && !(segment.flags & TcpFlag::ack);
    const qint64 length = segment.captured + segment.missing;

    // Frames come in runs of one connection: the last one found is tried first.
    Connection *found = recent && recent->key == key ? recent : nullptr;
    if (!found) {
        const auto entry = connections.find(key);
        found = entry != connections.end() ? &entry->second : nullptr;
    }
    if (!found) {
        if ((segment.flags & TcpFlag::rst) || (!syn && length == 0)) {
            return;
        }
    } else if (const Half &half = found->halves[side];
               synOnly && half.state != Half::Hunting && half.next != segment.sequence + 1) {
        // A new connection on the ports of an old one.
        remove(*found);
        found = nullptr;
    }
    Connection &connection = found ? *found : open(key, now);
    recent = &connection;
    touch(connection, now);
    if (segment.flags & TcpFlag::rst) {
        close(connection);
        return;
    }
    Half &own = connection.halves[side];
    Half &other = connection.halves[1 - side];
    if ((segment.flags & TcpFlag::ack) && other.state == Half::Following && !connection.passive) {
        acknowledge(connection, 1 - side, segment.acknowledgement);
    }

    quint32 sequence = segment.sequence;
    if (syn) {
        sequence += 1;
        if (synOnly) {
            connection.clientSide = qint8(side);
        } else if (connection.clientSide < 0) {
            connection.clientSide = qint8(1 - side);
        }
        // A retransmitted SYN finds its half already followed.
        if (own.state == Half::Hunting && !connection.passive) {
            own.state = Half::Following;
            own.next = sequence;
            connection.http.begin(direction(connection, side), true);
            connection.clientFresh = connection.clientFresh || direction(connection, side) == HttpParser::FromClient;
        }
    }
    if (length > 0 && !connection.passive) {
        if (own.state == Half::Hunting) {
            hunt(connection, side, sequence, segment);
        }
        if (own.state == Half::Following) {
            accept(connection, side, sequence, segment);
        }
    }
    if (segment.flags & TcpFlag::fin) {
        own.finSeen = true;
        own.fin = sequence + quint32(length);
    }
    settle(connection, side);
    settle(connection, 1 - side);
    if (own.finSeen && other.finSeen && own.state != Half::Following && other.state != Half::Following) {
        close(connection);
    }
}

ConnectionTable::Connection &ConnectionTable::open(const Key &key, qint64 now)
{
    if (qsizetype(connections.size()) >= limits.connections && oldest) {
        remove(*oldest);
        ++evicted;
        if (!evictionLogged || now - evictionLoggedAt >= evictionLogInterval) {
            qInfo().noquote() << QStringLiteral("Connection table full (%1 connections): dropped the one idle longest, "
                                                "%2 in all since the last such line")
                                     .arg(limits.connections)
                                     .arg(evicted);
            evicted = 0;
            evictionLogged = true;
            evictionLoggedAt = now;
        }
    }
    Connection &connection = connections.try_emplace(key).first->second;
    connection.key = key;
    connection.lastSeen = now;
    return connection;
}

// A connection that ended is forgotten, unless its TLS still waits for keys: a browser writes them from a thread
// of its own, and a short download can be over before they are in the file.
void ConnectionTable::close(Connection &connection)
{
    if (connection.secure && !connection.passive && connection.secure->waitingForKeys()) {
        keyLog->refresh();
        Delivery listener(*this, connection);
        connection.secure->retry(listener);
        afterSecure(connection);
        if (!connection.passive && connection.secure->waitingForKeys()) {
            connection.closed = true;
            return;
        }
    }
    remove(connection);
}

void ConnectionTable::remove(Connection &connection)
{
    if (connection.secure && !connection.passive && connection.secure->waitingForKeys()) {
        trace() << "ConnectionTable : no key arrived for a TLS connection;" << connection.tlsHeld
                << "bytes were not decrypted";
    }
    tlsRecords.give(std::exchange(connection.tlsHeld, 0));
    release(connection.halves[0]);
    release(connection.halves[1]);
    (connection.older ? connection.older->newer : oldest) = connection.newer;
    (connection.newer ? connection.newer->older : newest) = connection.older;
    if (recent == &connection) {
        recent = nullptr;
    }
    const Key key = connection.key;
    connections.erase(key);
}

void ConnectionTable::touch(Connection &connection, qint64 now)
{
    connection.lastSeen = now;
    if (newest == &connection) {
        return;
    }
    if (connection.older || connection.newer || oldest == &connection) {
        (connection.older ? connection.older->newer : oldest) = connection.newer;
        connection.newer->older = connection.older;
    }
    connection.older = newest;
    connection.newer = nullptr;
    (newest ? newest->newer : oldest) = &connection;
    newest = &connection;
}

void ConnectionTable::expire(qint64 now)
{
    // An age of exactly the limit still stays.
    while (oldest && now - oldest->lastSeen > limits.idleSeconds) {
        remove(*oldest);
    }
}

HttpParser::Direction ConnectionTable::direction(const Connection &connection, int side)
{
    return side == connection.clientSide ? HttpParser::FromClient : HttpParser::FromServer;
}

// Encrypted bytes are all needed: a record is only read whole.
qint64 ConnectionTable::ignorable(const Connection &connection, int side)
{
    return connection.secure ? 0 : connection.http.ignorable(direction(connection, side));
}

void ConnectionTable::runSecure(Connection &connection, HttpParser::Direction way, const uchar *data, qint64 length)
{
    Delivery listener(*this, connection);
    if (data) {
        connection.secure->feed(way, data, qsizetype(length), listener);
    } else {
        connection.secure->lose(way);
    }
    afterSecure(connection);
}

// Keeps the bytes the connection's TLS holds within the table's bound, and lets a connection that cannot be
// decrypted go.
void ConnectionTable::afterSecure(Connection &connection)
{
    const qsizetype nowHeld = connection.secure->heldBytes();
    bool drop = connection.secure->failed();
    if (!drop && nowHeld > connection.tlsHeld) {
        drop = !tlsRecords.take(nowHeld - connection.tlsHeld);
    } else if (nowHeld < connection.tlsHeld) {
        tlsRecords.give(connection.tlsHeld - nowHeld);
        connection.tlsHeld = nowHeld;
    }
    if (!drop) {
        connection.tlsHeld = nowHeld;
        return;
    }
    tlsRecords.give(std::exchange(connection.tlsHeld, 0));
    // What it held would otherwise stay, uncounted, until the connection ends.
    connection.secure.reset();
    connection.passive = true;
    release(connection.halves[0]);
    release(connection.halves[1]);
}

// Connections whose records all arrived before their keys hear nothing more from the capture: once a second they
// look again. Not only when the key log has news: its news may have come while a connection was not waiting yet.
void ConnectionTable::retryKeys(qint64 now)
{
    if (!keyLog || tlsRecords.inUse() == 0 || now == keysLookedAt) {
        return;
    }
    keysLookedAt = now;
    std::vector<Connection *> done;
    for (auto &[key, connection] : connections) {
        if (connection.secure && !connection.passive && connection.secure->waitingForKeys()) {
            Delivery listener(*this, connection);
            connection.secure->retry(listener);
            afterSecure(connection);
            if (connection.closed && !connection.secure->waitingForKeys()) {
                done.push_back(&connection);
            }
        }
    }
    for (Connection *connection : done) {
        remove(*connection);
    }
}

// A direction not followed yet, or no longer: it is taken up at a segment that starts a message.
void ConnectionTable::hunt(Connection &connection, int side, quint32 sequence, const TcpSegment &segment)
{
    const bool clientHello = keyLog && TlsStream::startsClientHello(segment.payload, segment.captured);
    if (connection.clientSide < 0) {
        if (clientHello || HttpParser::startsMessage(HttpParser::FromClient, segment.payload, segment.captured)) {
            connection.clientSide = qint8(side);
        } else if (HttpParser::startsMessage(HttpParser::FromServer, segment.payload, segment.captured)) {
            connection.clientSide = qint8(1 - side);
        } else {
            return;
        }
    }
    const HttpParser::Direction way = direction(connection, side);
    // TLS can be followed only from its hellos: the client random chooses the keys.
    const bool opensTls = way == HttpParser::FromClient ? clientHello && !connection.secure
                                                        : connection.secure && startsServerHello(segment);
    if (!opensTls && (connection.secure || !HttpParser::startsMessage(way, segment.payload, segment.captured))) {
        return;
    }
    Half &half = connection.halves[side];
    release(half);
    half.state = Half::Following;
    half.next = sequence;
    connection.http.begin(way, false);
    connection.clientFresh = clientHello && way == HttpParser::FromClient;
}

void ConnectionTable::accept(Connection &connection, int side, quint32 sequence, const TcpSegment &segment)
{
    Half &half = connection.halves[side];
    const qint64 length = segment.captured + segment.missing;
    while (half.state == Half::Following && !connection.passive) {
        const qint64 offset = distance(half.next, sequence);
        if (offset + length <= 0) {
            return;
        }
        if (offset <= 0) {
            const qint64 skipped = -offset;
            if (skipped < segment.captured) {
                run(connection, side, segment.payload + skipped, segment.captured - skipped);
            }
            const qint64 unseen = length - std::max<qint64>(skipped, segment.captured);
            if (unseen > 0 && half.state == Half::Following && !connection.passive) {
                run(connection, side, nullptr, unseen);
            }
            drain(connection, side);
            return;
        }
        const qint64 ignorable = ConnectionTable::ignorable(connection, side);
        const qint64 kept = std::max<qint64>(offset + segment.captured - std::max(offset, ignorable), 0);
        if (offset + length <= limits.window && qsizetype(half.pieces.size()) < limits.piecesPerDirection
            && holes.fits(kept)) {
            hold(connection, side, offset, segment);
            return;
        }
        // No room: the oldest hole is given up for lost.
        passHole(connection, side, sequence);
    }
}

// Holds the parts of a segment that no held piece covers yet; offset is from the next expected byte.
void ConnectionTable::hold(Connection &connection, int side, qint64 offset, const TcpSegment &segment)
{
    Half &half = connection.halves[side];
    const qint64 end = offset + segment.captured + segment.missing;
    const qint64 capturedEnd = offset + segment.captured;
    const qint64 ignorable = ConnectionTable::ignorable(connection, side);
    const auto add = [&](qint64 from, qint64 to) {
        const auto at = std::find_if(half.pieces.begin(), half.pieces.end(),
                                     [&](const Piece &piece) { return distance(half.next, piece.sequence) > from; });
        const auto insert = [&](auto position, qint64 begin, qint64 stop, bool withBytes) {
            Piece piece;
            piece.sequence = half.next + quint32(begin);
            piece.length = stop - begin;
            if (withBytes) {
                piece.bytes = QByteArray(reinterpret_cast<const char *>(segment.payload + (begin - offset)),
                                         qsizetype(piece.length));
                holes.add(piece.bytes.size());
            }
            return half.pieces.insert(position, std::move(piece)) + 1;
        };
        // Up to three pieces: counted only, with bytes, not captured.
        auto position = at;
        const qint64 bytesFrom = std::clamp(ignorable, from, to);
        const qint64 bytesTo = std::clamp(capturedEnd, bytesFrom, to);
        if (bytesFrom > from) {
            position = insert(position, from, bytesFrom, false);
        }
        if (bytesTo > bytesFrom) {
            position = insert(position, bytesFrom, bytesTo, true);
        }
        if (to > bytesTo) {
            insert(position, bytesTo, to, false);
        }
    };
    // The gaps between the pieces already held.
    std::vector<std::pair<qint64, qint64>> gaps;
    qint64 cursor = offset;
    for (const Piece &piece : half.pieces) {
        const qint64 begin = distance(half.next, piece.sequence);
        if (begin >= end) {
            break;
        }
        if (begin > cursor) {
            gaps.emplace_back(cursor, begin);
        }
        cursor = std::max(cursor, begin + piece.length);
    }
    if (cursor < end) {
        gaps.emplace_back(cursor, end);
    }
    for (const auto &[from, to] : gaps) {
        add(from, to);
    }
}

void ConnectionTable::acknowledge(Connection &connection, int side, quint32 acknowledgement)
{
    Half &half = connection.halves[side];
    if (half.finSeen && distance(half.fin, acknowledgement) > 0) {
        acknowledgement = half.fin;
    }
    const qint64 ahead = distance(half.next, acknowledgement);
    if (ahead <= 0 || ahead > acknowledgementReach) {
        return;
    }
    // The receiver has every byte up to here: whatever the capture missed of them is lost for good.
    while (half.state == Half::Following && !connection.passive && distance(half.next, acknowledgement) > 0) {
        passHole(connection, side, acknowledgement);
    }
}

// Passes over the missing bytes from the next expected one to the first held piece, or to upTo when that comes
// first, and delivers what then follows on.
void ConnectionTable::passHole(Connection &connection, int side, quint32 upTo)
{
    Half &half = connection.halves[side];
    qint64 hole = distance(half.next, upTo);
    if (!half.pieces.empty()) {
        hole = std::min(hole, distance(half.next, half.pieces.front().sequence));
    }
    if (hole > 0) {
        run(connection, side, nullptr, hole);
    }
    drain(connection, side);
}

void ConnectionTable::drain(Connection &connection, int side)
{
    Half &half = connection.halves[side];
    while (half.state == Half::Following && !connection.passive && !half.pieces.empty()) {
        const qint64 offset = distance(half.next, half.pieces.front().sequence);
        if (offset > 0) {
            return;
        }
        Piece piece = std::move(half.pieces.front());
        half.pieces.erase(half.pieces.begin());
        holes.give(piece.bytes.size());
        if (offset + piece.length > 0) {
            run(connection, side,
                piece.bytes.isEmpty() ? nullptr : reinterpret_cast<const uchar *>(piece.bytes.constData()) - offset,
                offset + piece.length);
        }
    }
}

void ConnectionTable::run(Connection &connection, int side, const uchar *data, qint64 length)
{
    Half &half = connection.halves[side];
    const HttpParser::Direction way = direction(connection, side);
    if (way == HttpParser::FromClient && std::exchange(connection.clientFresh, false) && keyLog && data
        && TlsStream::startsClientHello(data, qsizetype(length))) {
        connection.secure = std::make_unique<SecureConnection>(*keyLog);
    }
    if (connection.secure) {
        half.next += quint32(length);
        runSecure(connection, way, data, length);
        return;
    }
    Delivery listener(*this, connection);
    if (data) {
        connection.http.feed(way, data, qsizetype(length), listener);
    } else {
        connection.http.skip(way, qsizetype(length), listener);
    }
    half.next += quint32(length);
    if (connection.http.abandoned()) {
        connection.passive = true;
        release(connection.halves[0]);
        release(connection.halves[1]);
    } else if (!connection.http.following(way)) {
        half.state = Half::Hunting;
        release(half);
    }
}

// A direction whose FIN was seen is closed once every byte before it went through.
void ConnectionTable::settle(Connection &connection, int side)
{
    Half &half = connection.halves[side];
    if (!half.finSeen || half.state == Half::Closed) {
        return;
    }
    if (half.state == Half::Hunting || connection.passive) {
        half.state = Half::Closed;
        release(half);
    } else if (half.next == half.fin) {
        half.state = Half::Closed;
        release(half);
        if (!connection.secure) {
            Delivery listener(*this, connection);
            connection.http.end(direction(connection, side), listener);
        }
    }
}

void ConnectionTable::release(Half &half)
{
    for (const Piece &piece : half.pieces) {
        holes.give(piece.bytes.size());
    }
    half.pieces.clear();
    half.pieces.shrink_to_fit();
}
