#include "SniffedList.h"

#include "SaveName.h"
#include "SaveTargets.h"
#include "VideoSite.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

SniffedList::Outcome SniffedList::add(const QString &url, const QByteArray &requestHeader, const QByteArray &lengthText,
                                      const QByteArray &mediaType, const QTime &now)
{
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
    SniffedItem item;
    item.number = ++sequence;
    item.time = now.toString(QStringLiteral("hh:mm:ss"));
    item.url = url;
    item.requestHeader = requestHeader;
    item.size = size;
    item.type = cleanType(mediaType);
    item.extension = extensionFor(mediaType);
    item.fromVideoSite = isFromVideoSite(url);
    items.append(item);
    if (items.size() > capacity) {
        items.removeFirst();
    }
    return Outcome::Listed;
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

QString SniffedList::rowText(const SniffedItem &item)
{
    const QString size = item.size ? QStringLiteral("%1 MB").arg(static_cast<double>(*item.size) / 1048576.0, 0, 'f', 2)
                                   : QStringLiteral("?");
    QUrl address(item.url);
    // A proxy request may carry a password; the row has no need for it.
    address.setUserInfo(QString());
    // The file name first: it tells segments of one host apart, and a narrow list cuts the end off.
    QString text = QStringLiteral("%1. %2").arg(item.number).arg(item.time).leftJustified(22)
        + item.type.leftJustified(14) + size.leftJustified(12);
    const QString fileName = address.fileName();
    if (!fileName.isEmpty()) {
        text += fileName + QStringLiteral("  ");
    }
    return text + address.authority();
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

QString SniffedList::audioCompanion(const QString &savedPath)
{
    const QFileInfo saved(savedPath);
    return QDir::fromNativeSeparators(saved.path() + QLatin1Char('/') + saved.completeBaseName()
                                      + QStringLiteral(".mp3"));
}
