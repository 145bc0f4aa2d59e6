#include "MediaRules.h"

#include "HttpText.h"

#include <algorithm>
#include <cstring>
#include <string_view>

using namespace HttpText;

namespace {

constexpr std::string_view hlsTypes[]
    = { "application/vnd.apple.mpegurl", "application/x-mpegurl", "audio/mpegurl", "audio/x-mpegurl" };
constexpr std::string_view dashType = "application/dash+xml";
// Servers send playlists under these too, or under none.
constexpr std::string_view vagueTypes[]
    = { "text/plain", "application/octet-stream", "binary/octet-stream", "text/xml", "application/xml" };
constexpr std::string_view hlsSignature = "#EXTM3U";
constexpr std::string_view xmlSignatures[] = { "<?xml", "<MPD" };
// An MPD names its root this early, after the XML declaration and a comment or two.
constexpr qsizetype rootWithin = 4096;

// The total of "bytes first-last/total"; -1 when it is "*" or unreadable.
qint64 rangeTotal(QByteArrayView text)
{
    const qsizetype slash = text.lastIndexOf('/');
    return startsWithNoCase(trimmed(text), "bytes") && slash >= 0 ? decimal(text.sliced(slash + 1)) : -1;
}

// The media type without parameters.
QByteArrayView bareType(QByteArrayView contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return trimmed(semicolon < 0 ? contentType : contentType.first(semicolon));
}

// How seen relates to signature: 1 when it starts with it, 0 when it may still, -1 when it cannot.
int matches(QByteArrayView seen, std::string_view signature)
{
    const qsizetype length = std::min(seen.size(), qsizetype(signature.size()));
    if (std::memcmp(seen.data(), signature.data(), size_t(length)) != 0) {
        return -1;
    }
    return length == qsizetype(signature.size()) ? 1 : 0;
}

} // namespace

bool MediaRules::start(bool get, qint64 status, qint64 bodyLength, QByteArrayView contentType,
                       QByteArrayView contentRange, QByteArrayView contentEncoding, ByteBudget *budget)
{
    *this = MediaRules();
    if (!get || status < 200 || status > 299 || bodyLength == 0) {
        return false;
    }
    watched = true;
    bodies = budget;
    total = status == 206 && !contentRange.isEmpty() ? rangeTotal(contentRange) : bodyLength;
    const QByteArrayView bare = bareType(contentType);
    if (std::any_of(std::begin(hlsTypes), std::end(hlsTypes),
                    [bare](std::string_view name) { return equalsNoCase(bare, name); })) {
        keepPlaylist("HLS", contentEncoding);
        return false;
    }
    if (equalsNoCase(bare, dashType)) {
        keepPlaylist("DASH", contentEncoding);
        return false;
    }
    if (!startsWithNoCase(contentType, "video/")) {
        wantSignature = true;
        const QByteArrayView encoding = trimmed(contentEncoding);
        textual = (encoding.isEmpty() || equalsNoCase(encoding, "identity"))
            && (bare.isEmpty()
                || std::any_of(std::begin(vagueTypes), std::end(vagueTypes),
                               [bare](std::string_view name) { return equalsNoCase(bare, name); }));
        return false;
    }
    type = bare.sliced(6).toByteArray() + "\r\n";
    return total >= 0;
}

bool MediaRules::body(const uchar *data, qsizetype size)
{
    if (!watched) {
        return false;
    }
    bodySeen += size;
    if (wantSignature) {
        if (!data) {
            // The first bytes went by unseen: the signature cannot be known.
            watched = false;
            return false;
        }
        const qsizetype taken = std::min<qsizetype>(qsizetype(sizeof signature) - signatureLength, size);
        std::memcpy(signature + signatureLength, data, size_t(taken));
        signatureLength = quint8(signatureLength + taken);
        switch (judgeSignature()) {
        case Signature::TooShort:
            return false;
        case Signature::Nothing:
            watched = false;
            return false;
        case Signature::Playlist:
            playlist.append(reinterpret_cast<const uchar *>(signature), signatureLength);
            playlist.append(data + taken, size - taken);
            return false;
        case Signature::Media:
            if (total >= 0) {
                return true;
            }
            break;
        }
    } else if (isPlaylist) {
        playlist.append(data, size);
        return false;
    }
    return bodySeen >= unknownSizeThreshold;
}

bool MediaRules::end()
{
    if (!watched || !isPlaylist) {
        return false;
    }
    const QByteArrayView kept = playlist.bytes();
    if (maybeManifest && !kept.first(std::min(kept.size(), rootWithin)).contains("<MPD")) {
        watched = false;
        playlist = KeptBody();
        return false;
    }
    return true;
}

MediaRules::Signature MediaRules::judgeSignature()
{
    const QByteArrayView seen(signature, signatureLength);
    bool mayStill = false;
    for (const auto &[mark, name] : { std::pair { std::string_view("FLV"), "x-flv" }, { "ID3", "MP3" } }) {
        const int match = matches(seen, mark);
        if (match == 1) {
            wantSignature = false;
            type = name;
            return Signature::Media;
        }
        mayStill = mayStill || match == 0;
    }
    if (textual) {
        const int hls = matches(seen, hlsSignature);
        int xml = -1;
        for (const std::string_view mark : xmlSignatures) {
            xml = std::max(xml, matches(seen, mark));
        }
        if (hls == 1 || xml == 1) {
            wantSignature = false;
            maybeManifest = xml == 1;
            // Only bodies sent as they are get here.
            keepPlaylist(hls == 1 ? "HLS" : "DASH", {});
            return Signature::Playlist;
        }
        mayStill = mayStill || hls == 0 || xml == 0;
    }
    if (mayStill) {
        return Signature::TooShort;
    }
    wantSignature = false;
    return Signature::Nothing;
}

void MediaRules::keepPlaylist(const char *kind, QByteArrayView contentEncoding)
{
    isPlaylist = true;
    type = kind;
    if (bodies) {
        playlist = KeptBody(*bodies, trimmed(contentEncoding), kind);
    }
}
