#pragma once

#include "HttpParser.h"

#include <QByteArray>
#include <QList>

#include <memory>

class KeyLog;
struct TlsAead;

// Receives what a TlsStream decrypted: each direction's application data in order.
class TlsPlaintextSink
{
public:
    virtual void plaintext(HttpParser::Direction direction, const uchar *data, qsizetype size) = 0;
    // That side closed its TLS (an alert).
    virtual void ended(HttpParser::Direction) { }

protected:
    ~TlsPlaintextSink() = default;
};

// The TLS of one TCP connection, decrypted with the secrets from a key log: TLS 1.3 with AES-GCM or
// ChaCha20-Poly1305, TLS 1.2 with the AEAD suites. Each direction's bytes are fed in order. Records that need
// keys the log does not hold yet are kept (up to heldLimit bytes) until retry() finds them. Anything it cannot
// follow (an unsupported suite, a hole, malformed records, a failed tag) ends the decryption with one log
// line: failed() turns true and the sink hears nothing more. The sink must not feed or destroy the stream from
// its calls. One thread at a time.
class TlsStream
{
public:
    using Direction = HttpParser::Direction;
    // What the decrypted connection carries, decided at the client's first plaintext.
    enum class Inner : quint8 { Unknown, Http1, Http2 };

    static constexpr qsizetype defaultHeldLimit = qsizetype(4) << 20;
    static constexpr qsizetype maxRecord = (1 << 14) + 256;

    // A run of bytes that starts a TLS ClientHello record.
    static bool startsClientHello(const uchar *data, qsizetype size);

    TlsStream(KeyLog &keys, TlsPlaintextSink &plaintextSink, qsizetype heldBytesLimit = defaultHeldLimit);
    ~TlsStream();
    Q_DISABLE_COPY_MOVE(TlsStream)

    void feed(Direction direction, const uchar *data, qsizetype size);
    // Bytes of that direction went missing.
    void lose(Direction direction);
    // Call when the key log's generation changed while waitingForKeys().
    void retry();

    bool waitingForKeys() const;
    bool failed() const { return broken; }
    qsizetype heldBytes() const { return sides[0].held.size() + sides[1].held.size(); }
    QByteArray serverName() const { return sni; }
    // The application protocol: the server's choice in TLS 1.2, the client's only offer, or what the client's
    // first plaintext showed ("h2" or "http/1.1"). Empty while unknown.
    QByteArray alpn() const { return protocol; }
    Inner inner() const { return content; }

private:
    enum class Version : quint8 { Unknown, Tls12, Tls13 };

    struct Side
    {
        // Bytes not yet taken: part of a record, or records that wait for keys.
        QByteArray held;
        // A handshake message gathered over records (the hellos), or the count of one skipped.
        QByteArray message;
        qint64 skipping = 0;
        bool changeCipherSeen = false;
        bool decrypting = false;
        bool ended = false;
        quint64 sequence = 0;
        // TLS 1.3: records skipped as encrypted handshake before the first that opened.
        int handshakeRecords = 0;
        QByteArray secret;
        QByteArray plain;
        std::unique_ptr<TlsAead> aead;
    };

    // Takes whole records from data; returns how many bytes were taken. Stops at a record that waits.
    qsizetype records(Direction direction, const uchar *data, qsizetype size);
    // False: the record waits for keys.
    bool record(Direction direction, const uchar *data, qsizetype size);
    bool keysReady(Direction direction);
    bool setTrafficKeys(Direction direction);
    void decrypt(Direction direction, const uchar *data, qsizetype size);
    // Handshake bytes in order: the hellos in the clear, KeyUpdates once encrypted; the rest is counted past.
    void handshake(Direction direction, const uchar *data, qsizetype size, bool encrypted);
    void keyUpdate(Direction direction, QByteArrayView body);
    bool clientHello(QByteArrayView body);
    bool serverHello(QByteArrayView body);
    void deliver(Direction direction, const uchar *data, qsizetype size);
    void endSide(Direction direction);
    // Takes what records it can from the direction's held bytes.
    void drain(Direction direction);
    // After a run: the other side's held records may have waited for the ServerHello; bounds; clean-up.
    void settle(Direction other);
    void fail(const QByteArray &reason);

    KeyLog &keyLog;
    TlsPlaintextSink &sink;
    const qsizetype heldLimit;
    Side sides[2];
    Version version = Version::Unknown;
    quint16 suite = 0;
    bool keyed = false;
    bool broken = false;
    // The other side may hold records that only waited for the ServerHello.
    bool serverHelloArrived = false;
    QByteArray clientRandom, serverRandom;
    QByteArray sni, protocol;
    QList<QByteArray> offered;
    Inner content = Inner::Unknown;
};
