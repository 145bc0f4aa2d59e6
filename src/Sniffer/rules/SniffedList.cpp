#include "SniffedList.h"

#include "DashManifest.h"
#include "HlsPlaylist.h"
#include "SaveName.h"
#include "SaveTargets.h"
#include "VideoSite.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace {

bool isPlaylist(const QByteArray &mediaType)
{
    return mediaType == "HLS" || mediaType == "DASH";
}

std::optional<AdaptiveStream> readStream(const QByteArray &mediaType, const QByteArray &body, const QUrl &url)
{
    return mediaType == "DASH" ? DashManifest::read(body, url) : HlsPlaylist::read(body, url);
}

// A playlist that could not be read (kept in part, or in a coding not undone here) still stands for a stream,
// though nothing more is known of it.
AdaptiveStream unreadStream(const QByteArray &mediaType, const QUrl &url)
{
    AdaptiveStream stream;
    stream.kind = mediaType == "DASH" ? AdaptiveStream::Kind::Dash : AdaptiveStream::Kind::Hls;
    stream.url = url;
    stream.master = stream.kind == AdaptiveStream::Kind::Dash;
    return stream;
}

// A variant's media playlist, or a newer copy of a live one, adds its segments and says how long the stream is
// now and whether it is still live. A live stream refetches its playlists for as long as it plays: what they
// repeat is kept once, and what passes the readers' bounds is left to the folder rule.
void absorb(AdaptiveStream &stream, const AdaptiveStream &part)
{
    for (const QString &member : part.members) {
        if (stream.members.size() >= AdaptiveStream::maxMembers) {
            break;
        }
        stream.members.insert(member);
    }
    for (const QRegularExpression &pattern : part.memberPatterns) {
        if (stream.memberPatterns.size() < AdaptiveStream::maxPatterns && !stream.memberPatterns.contains(pattern)) {
            stream.memberPatterns.append(pattern);
        }
    }
    if (part.duration >= 0) {
        stream.duration = part.duration;
    }
    stream.live = part.live;
    stream.encrypted = stream.encrypted || part.encrypted;
    if (!part.master) {
        return;
    }
    stream.master = true;
    stream.variants = part.variants;
    stream.audio = part.audio;
}

QString durationText(double seconds)
{
    const auto whole = qint64(seconds + 0.5);
    const QString minutesSeconds
        = QStringLiteral("%1:%2").arg(whole / 60 % 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600
        ? QStringLiteral("%1:%2").arg(whole / 3600).arg(minutesSeconds.rightJustified(5, QLatin1Char('0')))
        : minutesSeconds;
}

} // namespace

SniffedList::Outcome SniffedList::add(const QString &url, const QByteArray &requestHeader, const QByteArray &lengthText,
                                      const QByteArray &mediaType, const QTime &now, const QByteArray &body)
{
    if (isPlaylist(mediaType)) {
        return addStream(url, requestHeader, mediaType, now, body);
    }
    const QUrl address(url);
    for (const SniffedItem &item : std::as_const(items)) {
        if (item.stream && item.stream->belongs(address)) {
            return Outcome::StreamPart;
        }
    }
    const std::optional<qint64> size = parseLength(lengthText);
    // The engines report a response without a length only once enough of its body has passed.
    if (size && *size < minimumSize) {
        return Outcome::TooSmall;
    }
    for (const SniffedItem &item : std::as_const(items)) {
        if (item.url == url || (size && item.size == size)) {
            return Outcome::Duplicate;
        }
    }
    SniffedItem &item = append(url, requestHeader, now);
    item.size = size;
    item.type = cleanType(mediaType);
    item.extension = extensionFor(mediaType);
    return Outcome::Listed;
}

SniffedList::Outcome SniffedList::addStream(const QString &url, const QByteArray &requestHeader,
                                            const QByteArray &mediaType, const QTime &now, const QByteArray &body)
{
    const QUrl address(url);
    std::optional<AdaptiveStream> read = readStream(mediaType, body, address);
    for (SniffedItem &item : items) {
        if (item.stream && (item.url == url || item.stream->belongs(address))) {
            if (read) {
                absorb(*item.stream, *read);
                item.type = streamType(*item.stream);
            }
            return Outcome::Updated;
        }
    }
    AdaptiveStream stream = read ? std::move(*read) : unreadStream(mediaType, address);
    // Pieces listed before their playlist came (the page was opened earlier) go into the stream's row.
    items.removeIf([&stream](const SniffedItem &item) { return !item.stream && stream.belongs(QUrl(item.url)); });
    SniffedItem &item = append(url, requestHeader, now);
    item.type = streamType(stream);
    item.extension = QStringLiteral("mp4");
    item.stream = std::move(stream);
    return Outcome::Listed;
}

SniffedItem &SniffedList::append(const QString &url, const QByteArray &requestHeader, const QTime &now)
{
    if (items.size() >= capacity) {
        items.removeFirst();
    }
    SniffedItem &item = items.emplace_back();
    item.number = ++sequence;
    item.time = now.toString(QStringLiteral("hh:mm:ss"));
    item.url = url;
    item.requestHeader = requestHeader;
    item.fromVideoSite = isFromVideoSite(url);
    return item;
}

void SniffedList::remove(int index)
{
    if (index >= 0 && index < items.size()) {
        items.removeAt(index);
    }
}

void SniffedList::setState(int number, SniffedItem::State state)
{
    for (SniffedItem &item : items) {
        if (item.number == number) {
            item.state = state;
        }
    }
}

int SniffedList::rowOfNumber(int number) const
{
    for (int index = 0; index < count(); ++index) {
        if (items.at(index).number == number) {
            return count() - 1 - index;
        }
    }
    return -1;
}

QStringList SniffedList::rowTexts() const
{
    QStringList rows;
    for (auto item = items.crbegin(); item != items.crend(); ++item) {
        rows.append(rowText(*item));
    }
    return rows;
}

QByteArray SniffedList::withScheme(const QByteArray &reportedUrl)
{
    const QByteArray lower = reportedUrl.left(8).toLower();
    if (lower.startsWith("http://") || lower.startsWith("https://")) {
        return reportedUrl;
    }
    return "http://" + reportedUrl;
}

std::optional<qint64> SniffedList::parseLength(const QByteArray &lengthText)
{
    bool ok = false;
    const qint64 value = lengthText.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional(value) : std::nullopt;
}

QString SniffedList::cleanType(const QByteArray &mediaType)
{
    QString type = QString::fromLatin1(mediaType).section(QLatin1Char(';'), 0, 0);
    // The type ends with the header's line end.
    return type.remove(QStringLiteral("x-")).trimmed();
}

QString SniffedList::extensionFor(const QByteArray &mediaType)
{
    QString type = QString::fromLatin1(mediaType).section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    // A bare subtype is one of "video/" (or a body signature, "mp3" or "x-flv").
    if (!type.contains(QLatin1Char('/'))) {
        type.prepend(QStringLiteral("video/"));
    }
    static const QHash<QString, QString> usual {
        { QStringLiteral("video/mp2t"), QStringLiteral("ts") },
        { QStringLiteral("video/quicktime"), QStringLiteral("mov") },
        { QStringLiteral("audio/mpeg"), QStringLiteral("mp3") },
        { QStringLiteral("audio/mp3"), QStringLiteral("mp3") },
        { QStringLiteral("video/x-flv"), QStringLiteral("flv") },
        { QStringLiteral("video/webm"), QStringLiteral("webm") },
        { QStringLiteral("audio/webm"), QStringLiteral("webm") },
        { QStringLiteral("video/mp4"), QStringLiteral("mp4") },
        { QStringLiteral("video/x-m4v"), QStringLiteral("m4v") },
        { QStringLiteral("audio/mp4"), QStringLiteral("m4a") },
        { QStringLiteral("audio/x-m4a"), QStringLiteral("m4a") },
        { QStringLiteral("audio/aac"), QStringLiteral("aac") },
        { QStringLiteral("audio/ogg"), QStringLiteral("ogg") },
        { QStringLiteral("video/ogg"), QStringLiteral("ogg") },
        { QStringLiteral("audio/flac"), QStringLiteral("flac") },
        { QStringLiteral("audio/wav"), QStringLiteral("wav") },
        { QStringLiteral("audio/x-wav"), QStringLiteral("wav") },
        { QStringLiteral("video/mpeg"), QStringLiteral("mpg") },
        { QStringLiteral("video/3gpp"), QStringLiteral("3gp") },
        { QStringLiteral("video/x-matroska"), QStringLiteral("mkv") },
        { QStringLiteral("video/x-msvideo"), QStringLiteral("avi") },
        { QStringLiteral("video/x-ms-wmv"), QStringLiteral("wmv") },
        { QStringLiteral("audio/x-ms-wma"), QStringLiteral("wma") },
    };
    const auto known = usual.constFind(type);
    if (known != usual.cend()) {
        return *known;
    }
    // Another type is named after its subtype, less what would make a strange extension.
    static const QRegularExpression odd(QStringLiteral("^x-|[^a-z0-9]"));
    const QString subtype = type.section(QLatin1Char('/'), 1).remove(odd);
    return subtype.isEmpty() ? QStringLiteral("bin") : subtype;
}

QString SniffedList::streamType(const AdaptiveStream &stream)
{
    QString type = stream.kind == AdaptiveStream::Kind::Dash ? QStringLiteral("DASH") : QStringLiteral("HLS");
    const int best = stream.bestVariant();
    if (best >= 0 && stream.variants.at(best).height > 0) {
        const StreamVariant &variant = stream.variants.at(best);
        type += QStringLiteral(" %1x%2").arg(variant.width).arg(variant.height);
    }
    return type;
}

QString SniffedList::rowText(const SniffedItem &item)
{
    QString size = item.size ? QStringLiteral("%1 MB").arg(static_cast<double>(*item.size) / 1048576.0, 0, 'f', 2)
                             : QStringLiteral("?");
    if (item.stream && item.stream->live) {
        size = QStringLiteral("live");
    } else if (item.stream && item.stream->duration >= 0) {
        size = durationText(item.stream->duration);
    }
    QUrl address(item.url);
    // A proxy request may carry a password; the row has no need for it.
    address.setUserInfo(QString());
    // The file name first: it tells segments of one host apart, and a narrow list cuts the end off.
    QString text = QStringLiteral("%1. %2").arg(item.number).arg(item.time).leftJustified(22)
        + (item.type + QLatin1Char(' ')).leftJustified(14) + size.leftJustified(12);
    const QString fileName = address.fileName();
    if (!fileName.isEmpty()) {
        text += fileName + QStringLiteral("  ");
    }
    // A stream's playlist often comes from a CDN: the page that played it says more.
    static const QRegularExpression referrer(QStringLiteral("^referer:[ \\t]*(\\S+)"),
                                             QRegularExpression::CaseInsensitiveOption
                                                 | QRegularExpression::MultilineOption);
    const QUrl page(item.stream ? referrer.match(QString::fromLatin1(item.requestHeader)).captured(1) : QString());
    return text + (page.host().isEmpty() ? address.authority() : page.host());
}

bool SniffedList::isFromVideoSite(const QString &url)
{
    return url.indexOf(VideoSite::mainHost, 1) > 0;
}

QByteArray SniffedList::reportedUrl(const QString &url)
{
    // Only the leading scheme: a query may carry another address. Encrypted items are reported with theirs.
    const QString trimmed = url.trimmed();
    const QLatin1StringView plain("http://");
    return (trimmed.startsWith(plain, Qt::CaseInsensitive) ? trimmed.sliced(plain.size()) : trimmed).toLatin1();
}

QString SniffedList::targetPath(const QString &selectedFile, const QString &extension, const QString &selectedFilter)
{
    const QFileInfo file(selectedFile);
    QString baseName = file.completeBaseName();
    QString suffix = file.suffix();
    if (suffix.compare(extension, Qt::CaseInsensitive) != 0) {
        baseName += suffix;
        suffix = extension;
    }
    baseName = SaveName::clean(baseName);
    QString path = QDir::fromNativeSeparators(file.path() + QLatin1Char('/') + baseName + QLatin1Char('.') + suffix);

    const QString filterExtension = SaveTargets::extensionFromFilter(selectedFilter);
    if (!filterExtension.isEmpty() && !path.endsWith(QLatin1Char('.') + filterExtension)) {
        path += QLatin1Char('.') + filterExtension;
    }
    return path;
}

QString SniffedList::streamTargetPath(const QString &selectedFile, const QString &selectedFilter)
{
    const QString typed = QFileInfo(selectedFile).suffix().toLower();
    const QString chosen = SaveTargets::extensionFromFilter(selectedFilter);
    const bool known = typed == QLatin1String("mp4") || typed == QLatin1String("mkv");
    return targetPath(selectedFile, known ? typed : chosen.isEmpty() ? QStringLiteral("mp4") : chosen, QString());
}

QString SniffedList::audioCompanion(const QString &savedPath)
{
    const QFileInfo saved(savedPath);
    return QDir::fromNativeSeparators(saved.path() + QLatin1Char('/') + saved.completeBaseName()
                                      + QStringLiteral(".mp3"));
}
