#include "SniffedList.h"

#include "SaveTargets.h"
#include "VideoSite.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

SniffedList::Outcome SniffedList::add(const QString &url, const QByteArray &requestHeader, const QByteArray &lengthText,
                                      const QByteArray &mediaType, const QTime &now)
{
    const qint64 size = parseLength(lengthText);
    if (size < minimumSize) {
        return Outcome::TooSmall;
    }
    for (const SniffedItem &item : std::as_const(items)) {
        if (item.url == url || item.size == size) {
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

QStringList SniffedList::rowTexts() const
{
    QStringList rows;
    for (auto item = items.crbegin(); item != items.crend(); ++item) {
        rows.append(rowText(*item));
    }
    return rows;
}

qint64 SniffedList::parseLength(const QByteArray &lengthText)
{
    bool ok = false;
    const qint64 value = lengthText.trimmed().toLongLong(&ok, 10);
    return ok ? value : 0;
}

QString SniffedList::cleanType(const QByteArray &mediaType)
{
    QString type = QString::fromLatin1(mediaType);
    // The type ends with the header's line end.
    return type.remove(QStringLiteral("x-")).trimmed();
}

QString SniffedList::rowText(const SniffedItem &item)
{
    return QStringLiteral("%1. %2").arg(item.number).arg(item.time).leftJustified(22) + item.type.leftJustified(14)
        + QStringLiteral("%1 MB").arg(static_cast<double>(item.size) / 1048576.0, 0, 'f', 2);
}

bool SniffedList::isFromVideoSite(const QString &url)
{
    return url.indexOf(VideoSite::mainHost, 1) > 0;
}

QByteArray SniffedList::reportedUrl(const QString &url)
{
    return QString(url).remove(QStringLiteral("http://")).trimmed().toLatin1();
}

QString SniffedList::targetPath(const QString &selectedFile, const QString &type, const QString &selectedFilter)
{
    const QFileInfo file(selectedFile);
    QString baseName = file.completeBaseName();
    QString suffix = file.suffix();
    if (suffix != type) {
        baseName += suffix;
        suffix = type;
    }
    static const QRegularExpression unsafe(QStringLiteral("[^ 0-9(-)a-zA-Z\\.]"));
    static const QRegularExpression gaps(QStringLiteral("\\s{2,}"));
    baseName.replace(unsafe, QStringLiteral("  "));
    baseName = baseName.trimmed();
    baseName.replace(gaps, QStringLiteral("."));
    // A name made only of unsafe characters would leave a hidden ".flv".
    if (baseName.isEmpty()) {
        baseName = QStringLiteral("untitled");
    }
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
