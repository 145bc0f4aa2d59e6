#pragma once

#include "AdaptiveStream.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

// One media stream the sniffer reported and the list keeps.
struct SniffedItem
{
    enum State { NotSaved = 0, Saving = 1, Saved = 2 };

    int number = 0;
    QString time;
    QString url;
    QByteArray requestHeader;
    // None when the response did not say its length.
    std::optional<qint64> size;
    QString type;
    // What a saved copy is named with, without the dot.
    QString extension;
    bool fromVideoSite = false;
    State state = NotSaved;
    // A row for a whole HLS or DASH stream: what its playlists say. None for a single file.
    std::optional<AdaptiveStream> stream;
};

// The sniffer page's list without widgets: which reports are listed, in what order, with what text, and
// what a save dialog's answer becomes. At most `capacity` items, oldest first; rows show the newest first.
class SniffedList final
{
public:
    static constexpr int capacity = 25;
    // Smaller streams are page furniture (thumbnails, tiny clips), not media worth keeping.
    static constexpr qint64 minimumSize = 100000;

    // StreamPart: a segment or playlist of a listed stream, which is not listed itself. Updated: a listed stream
    // learnt more of itself (its duration, or that it is live).
    enum class Outcome { Listed, TooSmall, Duplicate, StreamPart, Updated };

    // mediaType "HLS" or "DASH" reports a playlist or manifest, with its body.
    Outcome add(const QString &url, const QByteArray &requestHeader, const QByteArray &lengthText,
                const QByteArray &mediaType, const QTime &now, const QByteArray &body = {});
    void remove(int index);
    // By number, not index: the list may change while an item is being saved.
    void setState(int number, SniffedItem::State state);

    int count() const { return static_cast<int>(items.size()); }
    const SniffedItem &at(int index) const { return items.at(index); }
    // Row 0 is the newest item.
    int indexOfRow(int row) const { return count() - 1 - row; }
    // The row showing the item of that number, or -1.
    int rowOfNumber(int number) const;
    QStringList rowTexts() const;

    // A reported address with its scheme: the engines report "host/path", or an absolute address as a
    // proxy request names it.
    static QByteArray withScheme(const QByteArray &reportedUrl);
    // The Content-Length text as a number, surrounding white space ignored; none for anything else.
    static std::optional<qint64> parseLength(const QByteArray &lengthText);
    // "x-flv\r\n" gives "flv", "mp4\r\n" gives "mp4", "MP3" stays; parameters after ";" go.
    static QString cleanType(const QByteArray &mediaType);
    // The usual file extension of a reported media type, a full "video/mp2t" or the bare subtype the
    // engines give for "video/"; case and parameters do not matter.
    static QString extensionFor(const QByteArray &mediaType);
    // Number, time, type, size ("?" when unknown; a stream's duration or "live"), then the file name and host
    // that tell rows apart (for a stream, the host of the page that played it, when its request names it).
    static QString rowText(const SniffedItem &item);
    // "HLS 1280x720": the kind and the best variant's picture size, when the playlist names one.
    static QString streamType(const AdaptiveStream &stream);
    static bool isFromVideoSite(const QString &url);
    // An item's address in the form the capture engines report it (no "http://"; "https://" kept), for their
    // ignore lists.
    static QByteArray reportedUrl(const QString &url);

    // The file a save dialog's answer stands for: the item's extension becomes the suffix (another typed
    // suffix is glued to the name), the name keeps all a file system can hold, and the extension of a
    // selected "Name (*.ext)" filter is added once. Forward slashes.
    static QString targetPath(const QString &selectedFile, const QString &extension, const QString &selectedFilter);
    // The file a save dialog's answer stands for when a whole stream is saved: MP4 or MKV, as the typed suffix
    // says, else as the selected filter does.
    static QString streamTargetPath(const QString &selectedFile, const QString &selectedFilter);
    // The ".mp3" an audio save writes beside the saved stream.
    static QString audioCompanion(const QString &savedPath);

private:
    Outcome addStream(const QString &url, const QByteArray &requestHeader, const QByteArray &mediaType,
                      const QTime &now, const QByteArray &body);
    SniffedItem &append(const QString &url, const QByteArray &requestHeader, const QTime &now);

    QList<SniffedItem> items;
    int sequence = 0;
};
