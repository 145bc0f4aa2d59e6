#include "HlsPlaylist.h"

#include "StreamBuilder.h"

#include <QByteArrayView>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <utility>

namespace {

// Real attribute lists hold a dozen attributes; a longer one is read no further.
constexpr qsizetype maxAttributes = 64;

using Attributes = QVarLengthArray<std::pair<QByteArrayView, QByteArrayView>, 16>;

// NAME=VALUE pairs separated by commas; a quoted value keeps its commas and loses its quotes.
Attributes attributes(QByteArrayView list)
{
    Attributes result;
    qsizetype at = 0;
    while (at < list.size() && result.size() < maxAttributes) {
        const qsizetype equals = list.indexOf('=', at);
        if (equals < 0) {
            break;
        }
        const QByteArrayView name = list.sliced(at, equals - at).trimmed();
        const bool quoted = equals + 1 < list.size() && list.at(equals + 1) == '"';
        qsizetype end = equals + 1;
        QByteArrayView value;
        if (quoted) {
            const qsizetype quote = list.indexOf('"', end + 1);
            end = quote < 0 ? list.size() : quote;
            value = list.sliced(equals + 2, end - equals - 2);
        }
        const qsizetype comma = list.indexOf(',', end);
        end = comma < 0 ? list.size() : comma;
        if (!quoted) {
            value = list.sliced(equals + 1, end - equals - 1).trimmed();
        }
        result.append({ name, value });
        at = end + 1;
    }
    return result;
}

QByteArrayView value(const Attributes &list, QByteArrayView name)
{
    for (const auto &[key, text] : list) {
        if (key == name) {
            return text;
        }
    }
    return {};
}

QString text(QByteArrayView bytes)
{
    return bytes.size() <= StreamBuilder::maxTextLength ? QString::fromUtf8(bytes) : QString();
}

StreamVariant variant(const Attributes &list)
{
    StreamVariant result;
    const qint64 bandwidth = value(list, "BANDWIDTH").toLongLong();
    result.bandwidth = std::max<qint64>(bandwidth, 0);
    const QByteArrayView resolution = value(list, "RESOLUTION");
    const qsizetype x = resolution.indexOf('x');
    if (x > 0) {
        bool wide = false, high = false;
        const int width = resolution.first(x).toInt(&wide);
        const int height = resolution.sliced(x + 1).toInt(&high);
        if (wide && high && width > 0 && height > 0) {
            result.width = width;
            result.height = height;
        }
    }
    result.codecs = text(value(list, "CODECS"));
    result.audioGroup = text(value(list, "AUDIO"));
    return result;
}

bool isTag(QByteArrayView tag, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (tag == name) {
            return true;
        }
    }
    return false;
}

class Reader
{
public:
    explicit Reader(const QUrl &address)
        : builder(AdaptiveStream::Kind::Hls, address)
        , url(address)
    { }

    AdaptiveStream read(QByteArrayView lines);

private:
    void readLine(QByteArrayView line);
    void readTag(QByteArrayView name, QByteArrayView list);
    QString addMember(QByteArrayView reference)
    {
        QString key = builder.resolve(url, QString::fromUtf8(reference));
        builder.addMember(key);
        return key;
    }

    StreamBuilder builder;
    QUrl url;
    // A variant's attributes, waiting for its address on a line of its own.
    std::optional<StreamVariant> pending;
    // The last segment's address: byte ranges name one file many times in a row.
    QByteArrayView previous;
    double seconds = 0;
    bool timed = false, ended = false, vod = false;
};

AdaptiveStream Reader::read(QByteArrayView lines)
{
    while (!lines.isEmpty()) {
        const qsizetype end = lines.indexOf('\n');
        readLine((end < 0 ? lines : lines.first(end)).trimmed());
        lines = end < 0 ? QByteArrayView() : lines.sliced(end + 1);
    }
    AdaptiveStream &stream = builder.stream();
    if (!stream.master) {
        stream.live = !ended && !vod;
        if (!stream.live && timed && std::isfinite(seconds)) {
            stream.duration = seconds;
        }
    }
    return builder.take();
}

void Reader::readLine(QByteArrayView line)
{
    if (line.isEmpty()) {
        return;
    }
    if (line.front() != '#') {
        if (pending) {
            pending->uri = builder.resolve(url, QString::fromUtf8(line));
            if (!pending->uri.isEmpty()) {
                builder.addMember(pending->uri);
                builder.addVariant(*pending);
            }
            pending.reset();
        } else if (line != previous && !builder.membersFull()) {
            previous = line;
            addMember(line);
        }
        return;
    }
    if (line.startsWith("#EXT")) {
        const qsizetype colon = line.indexOf(':');
        readTag(colon < 0 ? line : line.first(colon), colon < 0 ? QByteArrayView() : line.sliced(colon + 1));
    }
}

void Reader::readTag(QByteArrayView name, QByteArrayView list)
{
    AdaptiveStream &stream = builder.stream();
    if (name == "#EXTINF") {
        const qsizetype comma = list.indexOf(',');
        bool ok = false;
        const double duration = (comma < 0 ? list : list.first(comma)).trimmed().toDouble(&ok);
        if (ok && duration >= 0) {
            seconds += duration;
            timed = true;
        }
    } else if (name == "#EXT-X-ENDLIST") {
        ended = true;
    } else if (name == "#EXT-X-PLAYLIST-TYPE") {
        vod = list.trimmed() == "VOD";
    } else if (name == "#EXT-X-STREAM-INF") {
        stream.master = true;
        pending = variant(attributes(list));
    } else if (name == "#EXT-X-MEDIA") {
        stream.master = true;
        const Attributes media = attributes(list);
        const QByteArrayView uri = value(media, "URI");
        if (uri.isEmpty()) {
            return;
        }
        const QString key = addMember(uri);
        if (!key.isEmpty() && value(media, "TYPE") == "AUDIO") {
            StreamVariant audio;
            audio.uri = key;
            audio.audioGroup = text(value(media, "GROUP-ID"));
            builder.addAudio(audio);
        }
    } else if (name == "#EXT-X-KEY" || name == "#EXT-X-SESSION-KEY") {
        const Attributes key = attributes(list);
        const QByteArrayView method = value(key, "METHOD");
        if (!method.isEmpty() && method != "NONE") {
            stream.encrypted = true;
        }
        const QByteArrayView uri = value(key, "URI");
        if (!uri.isEmpty()) {
            addMember(uri);
        }
    } else if (isTag(name,
                     { "#EXT-X-MAP", "#EXT-X-I-FRAME-STREAM-INF", "#EXT-X-PART", "#EXT-X-PRELOAD-HINT",
                       "#EXT-X-RENDITION-REPORT" })) {
        stream.master = stream.master || name == "#EXT-X-I-FRAME-STREAM-INF";
        const QByteArrayView uri = value(attributes(list), "URI");
        if (!uri.isEmpty()) {
            addMember(uri);
        }
    }
}

} // namespace

std::optional<AdaptiveStream> HlsPlaylist::read(const QByteArray &text, const QUrl &url)
{
    QByteArrayView lines(text);
    if (lines.startsWith("\xEF\xBB\xBF")) {
        lines = lines.sliced(3);
    }
    const qsizetype end = lines.indexOf('\n');
    if ((end < 0 ? lines : lines.first(end)).trimmed() != "#EXTM3U") {
        return std::nullopt;
    }
    return Reader(url).read(lines);
}
