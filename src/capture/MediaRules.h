#pragma once

#include "KeptBody.h"

#include <QByteArray>
#include <QByteArrayView>

// Follows one answer's body, whatever the HTTP version, to decide whether it carries media: a "video/" type, or
// a body that starts with an FLV or ID3 signature. Only 2xx answers to GET with a body may; a partial answer's
// size is the total its Content-Range gives. An answer whose size is unknown is due once
// unknownSizeThreshold body bytes have passed.
//
// An HLS playlist or a DASH manifest (by its type, or a body that starts like one) is kept whole, decoded, and
// due when its body ended; its media type is then "HLS" or "DASH" and the body is taken with takeBody().
class MediaRules
{
public:
    static constexpr qint64 unknownSizeThreshold = 100'000;

    // The answer's head: bodyLength as its framing gives it, -1 when unknown. budget: where kept playlists are
    // counted; without one none are kept. Returns whether it is due now.
    bool start(bool get, qint64 status, qint64 bodyLength, QByteArrayView contentType, QByteArrayView contentRange,
               QByteArrayView contentEncoding = {}, ByteBudget *budget = nullptr);
    // Body bytes passed: seen, or (data null) unseen. Returns whether the answer is due now.
    bool body(const uchar *data, qsizetype size);
    // The body ended as its framing said. Returns whether the answer is due now (a playlist).
    bool end();
    // The answer was told (or is of no more interest): nothing is due any more.
    void stop()
    {
        watched = false;
        playlist = KeptBody();
    }

    bool watching() const { return watched; }
    // The next body bytes are needed, not only counted.
    bool wantsSignature() const { return watched && (wantSignature || playlist.keeping()); }
    qint64 size() const { return total; }
    const QByteArray &mediaType() const { return type; }
    // A playlist's decoded body, once end() said it is due; empty when it could not be kept.
    QByteArray takeBody() { return playlist.finish(); }

private:
    enum class Signature : quint8 { TooShort, Media, Playlist, Nothing };

    // What the first bytes of a body of another type say.
    Signature judgeSignature();
    // kind: "HLS" or "DASH".
    void keepPlaylist(const char *kind, QByteArrayView contentEncoding);

    bool watched = false;
    bool wantSignature = false;
    // Playlists are looked for by signature only in plain answers of types that do not say what they are.
    bool textual = false;
    bool isPlaylist = false;
    // Began like XML: a manifest only if its root turns out to be an MPD.
    bool maybeManifest = false;
    quint8 signatureLength = 0;
    char signature[8] {};
    qint64 total = -1;
    qint64 bodySeen = 0;
    QByteArray type;
    ByteBudget *bodies = nullptr;
    KeptBody playlist;
};
