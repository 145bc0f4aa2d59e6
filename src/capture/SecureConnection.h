#pragma once

#include "Http2Reader.h"
#include "HttpParser.h"
#include "TlsStream.h"

#include <memory>

class KeyLog;

// A TCP connection that carries TLS: its records decrypted with the key log's secrets, and the HTTP inside
// them read as HTTP/1.1 or HTTP/2, whichever the connection speaks. One thread at a time.
class SecureConnection final : private TlsPlaintextSink
{
public:
    using Direction = HttpParser::Direction;
    // Server bytes kept while the client has not yet shown which HTTP it speaks.
    static constexpr qsizetype earlyLimit = 256 * 1024;

    explicit SecureConnection(KeyLog &keys);
    ~SecureConnection();
    Q_DISABLE_COPY_MOVE(SecureConnection)

    void feed(Direction direction, const uchar *data, qsizetype size, HttpListener &listener);
    // Bytes of that direction went missing: what follows cannot be decrypted.
    void lose(Direction direction);
    // Keys may have arrived for the records held back.
    void retry(HttpListener &listener);

    // Nothing more can be read from it: the TLS or the HTTP inside could not be followed.
    bool failed() const;
    bool waitingForKeys() const { return tls.waitingForKeys(); }
    qsizetype heldBytes() const { return tls.heldBytes(); }

private:
    void plaintext(Direction direction, const uchar *data, qsizetype size) override;
    void ended(Direction direction) override;
    void read(Direction direction, const uchar *data, qsizetype size);

    TlsStream tls;
    HttpParser http1;
    std::unique_ptr<Http2Reader> http2;
    bool started[2] {};
    // What the server sent before the client's first bytes: HTTP/2 servers send their SETTINGS at once.
    QByteArray early;
    bool lost = false;
    // The listener of the call that is decrypting.
    HttpListener *listening = nullptr;
};
