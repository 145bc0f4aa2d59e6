#include "FormatListing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

const QString none = QStringLiteral("none");

QString text(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

double number(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toDouble();
}

// "avc1.64001f" gives "avc1"; "none" and an unknown codec give nothing.
QString codecName(const QString &codec)
{
    return codec == none ? QString() : codec.section(QLatin1Char('.'), 0, 0);
}

QString sizeText(const QJsonObject &format)
{
    double bytes = number(format, "filesize");
    QString approximate;
    if (bytes <= 0) {
        bytes = number(format, "filesize_approx");
        approximate = QStringLiteral("~");
    }
    constexpr double mebibyte = 1024.0 * 1024.0;
    return bytes > 0 ? approximate + QString::number(bytes / mebibyte, 'f', 1) + QStringLiteral("MiB") : QString();
}

// "3:25" or "1:02:03", as the tool writes its own duration text.
QString durationText(const QJsonObject &video)
{
    const QString given = text(video, "duration_string");
    const qint64 seconds = qRound64(number(video, "duration"));
    if (!given.isEmpty() || seconds <= 0) {
        return given;
    }
    const QString minutesAndSeconds
        = QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600) {
        return minutesAndSeconds;
    }
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg(minutesAndSeconds.rightJustified(5, QLatin1Char('0')));
}

std::optional<FormatEntry> entryOf(const QJsonObject &format)
{
    const QString video = text(format, "vcodec");
    const QString audio = text(format, "acodec");
    // Neither pictures nor sound (a storyboard): nothing to save.
    if (video == none && audio == none) {
        return std::nullopt;
    }
    FormatEntry entry;
    entry.id = text(format, "format_id");
    entry.extension = text(format, "ext");
    entry.videoOnly = audio == none;
    entry.audioOnly = video == none;
    entry.url = text(format, "url");
    entry.manifestUrl = text(format, "manifest_url");
    entry.hls = text(format, "protocol").startsWith(QLatin1String("m3u8"));
    const QJsonObject headers = format.value(QLatin1String("http_headers")).toObject();
    for (auto header = headers.constBegin(); header != headers.constEnd(); ++header) {
        entry.httpHeaders.append({ header.key().toUtf8(), header.value().toString().toUtf8() });
    }
    entry.resolution = text(format, "resolution");
    const int width = int(number(format, "width"));
    const int height = int(number(format, "height"));
    if (entry.resolution.isEmpty() && width > 0 && height > 0) {
        entry.resolution = QStringLiteral("%1x%2").arg(width).arg(height);
    }
    if (entry.resolution.isEmpty()) {
        entry.resolution = entry.audioOnly ? QStringLiteral("audio only") : QStringLiteral("unknown");
    }

    QStringList details { entry.extension };
    const QString codecs = QStringList { codecName(video), codecName(audio) }.join(QLatin1Char(' ')).trimmed();
    details << codecs;
    const double kbits = number(format, "tbr") > 0 ? number(format, "tbr") : number(format, "abr");
    if (kbits > 0) {
        details << QString::number(qRound(kbits)) + QLatin1Char('k');
    }
    details << sizeText(format);
    const QString language = text(format, "language");
    if (!language.isEmpty()) {
        details << QLatin1Char('[') + language + QLatin1Char(']');
    }
    details << text(format, "format_note");
    details.removeAll(QString());
    entry.details = details.join(QStringLiteral(", "));
    return entry;
}

std::optional<bool> liveness(const QJsonObject &video)
{
    const QJsonValue live = video.value(QLatin1String("is_live"));
    if (live.isBool()) {
        return live.toBool();
    }
    const QString status = text(video, "live_status");
    return status.isEmpty() ? std::nullopt : std::optional<bool>(status == QLatin1String("is_live"));
}

} // namespace

std::optional<FormatListing> parseFormatListing(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject page = document.object();
    QJsonObject video = page;
    FormatListing listing;
    if (text(page, "_type") == QLatin1String("playlist")) {
        const QJsonArray entries = page.value(QLatin1String("entries")).toArray();
        for (int index = 0; index < entries.size(); ++index) {
            const QJsonObject entry = entries.at(index).toObject();
            listing.videos.append({ index + 1, text(entry, "title"), durationText(entry), QString() });
        }
        // A playlist of one is a page of one video.
        if (listing.videos.size() == 1) {
            listing.videos.clear();
        }
        video = entries.isEmpty() ? QJsonObject() : entries.first().toObject();
    }
    listing.title = text(video, "title");
    if (listing.title.isEmpty()) {
        listing.title = text(page, "title");
    }
    listing.duration = durationText(video);
    listing.live = liveness(video);
    listing.subtitles = video.value(QLatin1String("subtitles")).toObject().keys();
    // The tool lists its JSON dump of the live chat as a subtitle; it is no text track.
    listing.subtitles.removeAll(QStringLiteral("live_chat"));

    QJsonArray formats = video.value(QLatin1String("formats")).toArray();
    // An extractor that finds a single format may describe it in the video itself.
    if (formats.isEmpty() && video.contains(QLatin1String("format_id"))) {
        formats.append(video);
    }
    for (const QJsonValue &format : std::as_const(formats)) {
        if (const std::optional<FormatEntry> entry = entryOf(format.toObject())) {
            listing.formats.append(*entry);
        }
    }
    if (listing.formats.size() > 1) {
        FormatEntry best;
        best.id = QStringLiteral("bv*+ba/b");
        best.best = true;
        best.resolution = QStringLiteral("best");
        // A guess at the container; the download's name follows what the tool really wrote.
        best.extension = listing.formats.constLast().extension;
        best.details = QStringLiteral("the best video with the best audio");
        listing.formats.prepend(best);
    }
    return listing;
}

QString formatSelector(const FormatEntry &entry, bool audio)
{
    const QString bestAudio = QStringLiteral("ba/b");
    if (entry.best || entry.id.isEmpty()) {
        return audio ? bestAudio : QStringLiteral("bv*+ba/b");
    }
    if (entry.videoOnly) {
        return audio ? bestAudio : entry.id + QStringLiteral("+ba/") + entry.id;
    }
    // Sound chosen for a video save (a language, say): the best pictures go with it.
    if (entry.audioOnly && !audio) {
        return QStringLiteral("bv+") + entry.id + QLatin1Char('/') + entry.id;
    }
    return entry.id;
}

QString cappedSelector(int maxHeight, bool audio)
{
    if (audio) {
        return QStringLiteral("ba/b");
    }
    if (maxHeight <= 0) {
        return QStringLiteral("bv*+ba/b");
    }
    // "<=?" lets a format of unknown height through: a page's only file often states none.
    const QString cap = QStringLiteral("[height<=?%1]").arg(maxHeight);
    return QStringLiteral("bv*%1+ba/b%1/w").arg(cap);
}
