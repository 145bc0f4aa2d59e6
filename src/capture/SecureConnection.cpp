#include "SecureConnection.h"

#include "Trace.h"

#include <utility>

SecureConnection::SecureConnection(KeyLog &keys)
    : tls(keys, *this)
{ }

SecureConnection::~SecureConnection() = default;

void SecureConnection::feed(Direction direction, const uchar *data, qsizetype size, HttpListener &listener)
{
    HttpListener *const outer = std::exchange(listening, &listener);
    tls.feed(direction, data, size);
    listening = outer;
}

void SecureConnection::lose(Direction direction)
{
    tls.lose(direction);
}

void SecureConnection::retry(HttpListener &listener)
{
    HttpListener *const outer = std::exchange(listening, &listener);
    tls.retry();
    listening = outer;
}

bool SecureConnection::failed() const
{
    return lost || tls.failed() || http1.abandoned() || (http2 && http2->abandoned());
}

void SecureConnection::plaintext(Direction direction, const uchar *data, qsizetype size)
{
    if (lost || !listening) {
        return;
    }
    if (tls.inner() == TlsStream::Inner::Unknown) {
        if (early.size() + size > earlyLimit) {
            trace() << "SecureConnection : the server sent more than" << earlyLimit
                    << "bytes before the client's first";
            lost = true;
            return;
        }
        early.append(reinterpret_cast<const char *>(data), size);
        return;
    }
    read(direction, data, size);
    if (!early.isEmpty()) {
        const QByteArray kept = std::exchange(early, {});
        read(HttpParser::FromServer, reinterpret_cast<const uchar *>(kept.constData()), kept.size());
    }
}

void SecureConnection::read(Direction direction, const uchar *data, qsizetype size)
{
    if (lost) {
        return;
    }
    if (tls.inner() == TlsStream::Inner::Http2) {
        if (!http2) {
            http2 = std::make_unique<Http2Reader>();
        }
        http2->feed(direction, data, size, *listening);
        return;
    }
    if (!std::exchange(started[direction], true)) {
        http1.begin(direction, true);
    }
    http1.feed(direction, data, size, *listening);
    // Decrypted bytes never go missing, so a parser that lost its place met something it cannot read.
    if (!http1.following(direction) && !http1.abandoned()) {
        trace() << "SecureConnection : the HTTP/1.1 inside TLS could not be followed";
        lost = true;
    }
}

// A close_notify ends a body that runs to the close, as a FIN does in the clear.
void SecureConnection::ended(Direction direction)
{
    if (!lost && listening && !http2 && started[direction]) {
        http1.end(direction, *listening);
    }
}
