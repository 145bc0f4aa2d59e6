#pragma once

#include <QByteArray>

#include <memory>

struct z_stream_s;

// Undoes a response's Content-Encoding piece by piece as the body arrives, so that a saved file holds the
// media itself and never a compressed copy of it, and a kept playlist its text.
class BodyDecoder final
{
public:
    // None or "identity" passes the bytes on unchanged; "gzip", "x-gzip" and "deflate" are inflated.
    explicit BodyDecoder(const QByteArray &contentEncoding);
    ~BodyDecoder();
    Q_DISABLE_COPY_MOVE(BodyDecoder)

    bool isSupported() const;
    // Appends what the next piece decodes to; false when the piece does not fit the encoding, or when decoded
    // grows past limit (a few kilobytes may be appended beyond it first). A negative limit sets none.
    bool decode(const QByteArray &piece, QByteArray &decoded, qsizetype limit = -1);
    // The encoded stream reached its end: a body cut short is never complete.
    bool isComplete() const;

private:
    struct StreamDeleter
    {
        void operator()(z_stream_s *stream) const;
    };

    std::unique_ptr<z_stream_s, StreamDeleter> stream;
    bool supported = false;
    bool ended = true;
};
