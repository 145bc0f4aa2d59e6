#include "DashManifest.h"
#include "HlsPlaylist.h"

#include <QByteArray>
#include <QUrl>

#include <cstdlib>
#include <optional>

namespace {

const QUrl playlistUrl(QStringLiteral("https://cdn.example.com/vod/clip/index.m3u8"));
const QUrl manifestUrl(QStringLiteral("https://cdn.example.com/manifest.mpd?token=1"));

// What a reader keeps stays within its caps, and everything it names belongs to the stream.
void check(const std::optional<AdaptiveStream> &stream)
{
    if (!stream) {
        return;
    }
    if (stream->members.size() > AdaptiveStream::maxMembers || stream->variants.size() > AdaptiveStream::maxVariants
        || stream->audio.size() > AdaptiveStream::maxVariants
        || stream->memberPatterns.size() > AdaptiveStream::maxPatterns
        || stream->bestVariant() >= stream->variants.size()) {
        std::abort();
    }
    for (const QString &member : stream->members) {
        if (!stream->belongs(QUrl(member))) {
            std::abort();
        }
    }
    // Addresses a sniffer might report: a long digit run for the templates, an odd port, a fragment, escapes.
    stream->belongs(QUrl(QStringLiteral("https://cdn.example.com/0/0000000000000000000000000000000000.m4s?x=1#f")));
    stream->belongs(QUrl(QStringLiteral("http://cdn.example.com:8080/vod/clip/%2e%2e/$$/1-1-1-1-1-1-1-1-1-1.ts")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Not copied, so any read past the input's end is caught.
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    check(HlsPlaylist::read(text, playlistUrl));
    check(DashManifest::read(text, manifestUrl));
    return 0;
}
