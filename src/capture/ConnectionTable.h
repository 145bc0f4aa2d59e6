#pragma once

#include "FrameDecoder.h"
#include "HttpParser.h"
#include "SecureConnection.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

struct ConnectionLimits
{
    qsizetype connections = 20'000;
    // A connection that carried nothing for longer than this is forgotten.
    qint64 idleSeconds = 60;
    // How far past a hole a direction's bytes are held while the hole waits for its retransmission.
    qint64 window = 1 << 20;
    qsizetype piecesPerDirection = 256;
    // Bytes held for holes by all connections together.
    qsizetype heldBytes = qsizetype(64) << 20;
    // Bytes of TLS records held by all connections together: partial records, and records waiting for keys.
    qsizetype tlsHeldBytes = qsizetype(64) << 20;
    // Bytes of playlist bodies kept by all connections together.
    qsizetype keptBodyBytes = qsizetype(16) << 20;
    // Header text the HTTP parsers of all connections hold: partial header blocks, requests awaiting their
    // answers, HPACK tables.
    qsizetype headerBytes = qsizetype(32) << 20;
    // All of the above together.
    qsizetype overallBytes = qsizetype(96) << 20;
};

class KeyLog;

// Follows the TCP connections seen in captured segments and hands each one's two byte streams, reassembled in
// sequence order, to an HTTP parser of its own. Retransmitted and overlapping bytes are delivered once; bytes
// ahead of a hole are held (within the window) until the hole is filled, the receiver acknowledges past it (the
// capture missed them) or the window runs over; then the hole is passed over as lost. Bytes the parser only
// counts (bodies) are held as lengths, not copied. A connection that opens with a TLS ClientHello, on any port, is
// decrypted with the key log's secrets when it has them, and the HTTP inside is read. One thread at a time.
class ConnectionTable
{
public:
    // The server end of the connection, what its parser found, and whether it came over TLS.
    using MediaSink = std::function<void(const TcpEndpoint &server, const HttpMedia &media, bool secure)>;

    // keys: the secrets TLS connections are decrypted with; without them TLS connections are passed over.
    explicit ConnectionTable(MediaSink mediaSink, KeyLog *keys = nullptr, const ConnectionLimits &bounds = {});
    ~ConnectionTable();
    Q_DISABLE_COPY_MOVE(ConnectionTable)

    // now: seconds, from the capture's clock.
    void handle(const TcpSegment &segment, qint64 now);

    // The capture has nothing to give: connections whose keys were late may be decrypted now.
    void idle(qint64 now) { retryKeys(now); }

    qsizetype size() const { return qsizetype(connections.size()); }
    qsizetype heldBytes() const { return holes.inUse(); }
    qsizetype headerBytes() const { return headers.inUse(); }
    qsizetype overallBytes() const { return overall.inUse(); }
    qsizetype tlsHeldBytes() const { return tlsRecords.inUse(); }
    qsizetype keptBodyBytes() const { return keptBodies.inUse(); }

private:
    struct Key
    {
        TcpEndpoint low, high;
        friend bool operator==(const Key &, const Key &) = default;
    };
    struct KeyHash
    {
        size_t operator()(const Key &key) const;
    };
    // Bytes ahead of the next expected one. Without bytes, only the length is known: the parser needs no
    // more, or the capture did not hold them.
    struct Piece
    {
        quint32 sequence = 0;
        qint64 length = 0;
        QByteArray bytes;
    };
    struct Half
    {
        enum State : quint8 { Hunting, Following, Closed };
        State state = Hunting;
        bool finSeen = false;
        quint32 next = 0;
        quint32 fin = 0;
        std::vector<Piece> pieces;
    };
    struct Connection
    {
        Key key;
        Connection *older = nullptr;
        Connection *newer = nullptr;
        qint64 lastSeen = 0;
        // Which end sends the requests: 0 for key.low, 1 for key.high; -1 while unknown.
        qint8 clientSide = -1;
        // Nothing more to follow here: not HTTP, or a tunnel.
        bool passive = false;
        // No client byte has gone through yet: the first one may open TLS.
        bool clientFresh = false;
        // Both ends are done, but the connection is kept while its TLS waits for keys.
        bool closed = false;
        qsizetype tlsHeld = 0;
        // By sending end, as in clientSide.
        Half halves[2];
        HttpParser http;
        std::unique_ptr<SecureConnection> secure;
    };
    class Delivery;

    Connection &open(const Key &key, qint64 now);
    void close(Connection &connection);
    void remove(Connection &connection);
    void touch(Connection &connection, qint64 now);
    void expire(qint64 now);
    static HttpParser::Direction direction(const Connection &connection, int side);
    static qint64 ignorable(const Connection &connection, int side);
    void runSecure(Connection &connection, HttpParser::Direction way, const uchar *data, qint64 length);
    void afterSecure(Connection &connection);
    void retryKeys(qint64 now);

    void hunt(Connection &connection, int side, quint32 sequence, const TcpSegment &segment);
    void accept(Connection &connection, int side, quint32 sequence, const TcpSegment &segment);
    void hold(Connection &connection, int side, qint64 offset, const TcpSegment &segment);
    void acknowledge(Connection &connection, int side, quint32 acknowledgement);
    void passHole(Connection &connection, int side, quint32 upTo);
    void drain(Connection &connection, int side);
    void run(Connection &connection, int side, const uchar *data, qint64 length);
    void settle(Connection &connection, int side);
    void release(Half &half);

    MediaSink sink;
    KeyLog *const keyLog;
    const ConnectionLimits limits;
    // Before the connections, which give back what they took as they go.
    ByteBudget overall;
    ByteBudget holes;
    ByteBudget tlsRecords;
    ByteBudget keptBodies;
    ByteBudget headers;
    std::unordered_map<Key, Connection, KeyHash> connections;
    Connection *recent = nullptr;
    Connection *oldest = nullptr;
    Connection *newest = nullptr;
    qint64 keysLookedAt = 0;
    qint64 evicted = 0;
    bool evictionLogged = false;
    qint64 evictionLoggedAt = 0;
};
