#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Follows one answer's body, whatever the HTTP version, to decide whether it carries media: a "video/" type, or
// a body that starts with an FLV or ID3 signature. Only 2xx answers to GET with a body may; a partial answer's
// size is the total its Content-Range gives. An answer whose size is unknown is due once
// unknownSizeThreshold body bytes have passed.
class MediaRules
{
public:
    static constexpr qint64 unknownSizeThreshold = 100'000;

    // The answer's head: bodyLength as its framing gives it, -1 when unknown. Returns whether it is due now.
    bool start(bool get, qint64 status, qint64 bodyLength, QByteArrayView contentType, QByteArrayView contentRange);
    // Body bytes passed: seen, or (data null) unseen. Returns whether the answer is due now.
    bool body(const uchar *data, qsizetype size);
    // The answer was told (or is of no more interest): nothing is due any more.
    void stop() { watched = false; }

    bool watching() const { return watched; }
    // The next body bytes are needed, not only counted.
    bool wantsSignature() const { return watched && wantSignature; }
    qint64 size() const { return total; }
    const QByteArray &mediaType() const { return type; }

private:
    bool watched = false;
    bool wantSignature = false;
    quint8 signatureLength = 0;
    char signature[3] {};
    qint64 total = -1;
    qint64 bodySeen = 0;
    QByteArray type;
};
