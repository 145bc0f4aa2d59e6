#pragma once

#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QUrl>

// One rendition a player may pick: an HLS variant (its media playlist) or a DASH representation.
struct StreamVariant
{
    // HLS: the media playlist's absolute address. DASH: the representation's id.
    QString uri;
    int width = 0, height = 0;
    // Bits per second, 0 when not given.
    qint64 bandwidth = 0;
    QString codecs;
    // HLS: the GROUP-ID of the audio renditions this variant plays with.
    QString audioGroup;
};

// What an HLS playlist or a DASH manifest says about its stream, with every address resolved against the
// playlist's own. Built by HlsPlaylist::read and DashManifest::read; no widgets, no network.
struct AdaptiveStream
{
    enum class Kind { Hls, Dash };

    Kind kind = Kind::Hls;
    // The playlist's own address.
    QUrl url;
    // An HLS master playlist (or any DASH manifest): it names variants rather than segments.
    bool master = false;
    // Picture renditions (for an audio-only stream, its renditions), in the document's order.
    QList<StreamVariant> variants;
    // Separate sound renditions: HLS EXT-X-MEDIA TYPE=AUDIO, DASH audio representations; document order.
    QList<StreamVariant> audio;
    // Seconds; negative when the document does not say (a live HLS playlist lists only the latest segments).
    double duration = -1;
    // No end marker (HLS without EXT-X-ENDLIST, DASH type="dynamic"): the stream grows while it is watched.
    bool live = false;
    // Segments are encrypted (an EXT-X-KEY with a METHOD other than NONE, a DASH ContentProtection).
    bool encrypted = false;
    // Absolute http(s) addresses the document names, in memberKey form: variant and rendition playlists, segments,
    // init segments, keys.
    QSet<QString> members;
    // Addresses the document names by template (DASH SegmentTemplate), anchored, matched against absolute
    // addresses.
    QList<QRegularExpression> memberPatterns;

    // The rendition with the most pixels, then the highest bit rate; -1 when there are none.
    int bestVariant() const;
    // Whether a fetch of url is part of this stream: named in it, or under the playlist's folder (not the root)
    // on the same host.
    bool belongs(const QUrl &address) const;

    // The form members are kept in: absolute http or https, without fragment or default port. Empty for any other
    // address, or one longer than maxAddressLength.
    static QString memberKey(const QUrl &address);

    // What a hostile document may make the readers keep; the rest is dropped.
    static constexpr qsizetype maxVariants = 1'000; // each of variants and audio
    static constexpr qsizetype maxMembers = 50'000;
    static constexpr qsizetype maxMemberChars = 16'000'000;
    static constexpr qsizetype maxPatterns = 1'000;
    static constexpr qsizetype maxAddressLength = 8'192;
};
