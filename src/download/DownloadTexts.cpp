#include "DownloadTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString clockText(double seconds)
{
    const qint64 whole = qint64(qMax(seconds, 0.0));
    const QString minutesAndSeconds
        = QStringLiteral("%1:%2").arg(whole / 60 % 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    if (whole < 3600) {
        return minutesAndSeconds;
    }
    return QStringLiteral("%1:%2").arg(whole / 3600).arg(minutesAndSeconds.rightJustified(5, QLatin1Char('0')));
}

} // namespace

namespace DownloadTexts {

QString sizeText(quint64 bytes)
{
    if (bytes < 1024) {
        return QStringLiteral("%1 Bytes").arg(bytes);
    }
    if (bytes < 1048576) {
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    }
    return QStringLiteral("%1 MB").arg(double(bytes) / 1048576.0, 0, 'f', 2);
}

QString durationText(quint64 seconds)
{
    if (seconds <= 59) {
        return QStringLiteral("%1 sec").arg(seconds);
    }
    const quint64 minutes = seconds / 60;
    const quint64 rest = seconds % 60;
    if (rest == 0) {
        return QStringLiteral("%1 min").arg(minutes);
    }
    return QStringLiteral("%1 min %2 sec").arg(minutes).arg(rest);
}

QString timeLeftText(quint64 seconds, quint64 bytesRead, quint64 totalBytes)
{
    const QString copied = QStringLiteral("%1 of %2").arg(sizeText(bytesRead), sizeText(totalBytes));
    return QStringLiteral("%1 (%2 copied)").arg(durationText(seconds), copied);
}

namespace {

QString writtenText(double secondsDone, double duration, const QString &done, quint64 bytes, double speed)
{
    QString text = clockText(secondsDone);
    if (duration > 0) {
        text += QStringLiteral(" of ") + clockText(duration);
    }
    text += QLatin1Char(' ') + done + QStringLiteral(", ") + sizeText(bytes);
    if (speed > 0) {
        text += QStringLiteral(", %1x").arg(speed, 0, 'f', 1);
    }
    return text;
}

} // namespace

QString streamSavedText(double secondsDone, double duration, quint64 bytes, double speed)
{
    return writtenText(secondsDone, duration, QStringLiteral("saved"), bytes, speed);
}

QString convertedText(double secondsDone, quint64 bytes, double speed)
{
    return writtenText(secondsDone, -1, QStringLiteral("converted"), bytes, speed);
}

QString savedText(const QStringList &files)
{
    if (files.size() == 1) {
        return QStringLiteral("Saved as %1").arg(QDir::toNativeSeparators(files.constFirst()));
    }
    const QString folder = QFileInfo(files.value(0)).absolutePath();
    QStringList names;
    for (const QString &file : files) {
        const QFileInfo info(file);
        names.append(info.absolutePath() == folder ? info.fileName() : QDir::toNativeSeparators(file));
    }
    return QStringLiteral("Saved in %1:\n%2").arg(QDir::toNativeSeparators(folder), names.join(QLatin1Char('\n')));
}

QString transferText(qint64 done, qint64 total, bool estimated, double bytesPerSecond, qint64 secondsLeft)
{
    QString text = sizeText(quint64(std::max<qint64>(done, 0)));
    if (total > 0) {
        text += (estimated ? QStringLiteral(" of about ") : QStringLiteral(" of ")) + sizeText(quint64(total));
    }
    if (bytesPerSecond >= 0) {
        text += QStringLiteral(", ") + sizeText(quint64(bytesPerSecond)) + QStringLiteral("/s");
    }
    if (secondsLeft >= 0) {
        text += QStringLiteral(", ") + durationText(quint64(secondsLeft)) + QStringLiteral(" left");
    }
    return text;
}

QString rateText(double bytesPerMillisecond)
{
    if (bytesPerMillisecond < 1.0) {
        return QStringLiteral("%1 Bytes/Sec").arg(bytesPerMillisecond * 1024.0, 0, 'f', 0);
    }
    if (bytesPerMillisecond < 10.0) {
        return QStringLiteral("%1 KB/Sec").arg(bytesPerMillisecond, 0, 'f', 2);
    }
    return QStringLiteral("%1 KB/Sec").arg(bytesPerMillisecond, 0, 'f', 0);
}

QString shownFileName(const QUrl &url)
{
    QString path = url.path();
    if (url.hasFragment()) {
        path += QLatin1Char('#') + url.fragment();
    }
    if (path.size() <= 1) {
        return path;
    }
    qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        slash = path.lastIndexOf(QLatin1Char('\\'));
    }
    return slash < 0 ? path : path.mid(slash + 1);
}

QList<std::pair<QByteArray, QByteArray>> rawHeaderPairs(const QByteArray &header)
{
    static const QByteArray separator(": ");
    QList<std::pair<QByteArray, QByteArray>> pairs;
    for (const QByteArray &line : header.split('\n')) {
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        if (text.isEmpty() || text.split(' ').constFirst() == "GET") {
            continue;
        }
        const qsizetype colon = text.indexOf(separator);
        if (colon <= 0) {
            continue;
        }
        const qsizetype valueStart = colon + separator.size();
        const qsizetype valueEnd = text.indexOf(separator, valueStart);
        pairs.append({ text.left(colon), text.mid(valueStart, valueEnd < 0 ? -1 : valueEnd - valueStart) });
    }
    return pairs;
}

QList<std::pair<QByteArray, QByteArray>> replayHeaderPairs(const QByteArray &header)
{
    static const QList<QByteArray> dropped { "range",          "if-range", "if-modified-since",
                                             "if-none-match",  "if-match", "if-unmodified-since",
                                             "accept-encoding" };
    QList<std::pair<QByteArray, QByteArray>> pairs = rawHeaderPairs(header);
    pairs.removeIf(
        [](const std::pair<QByteArray, QByteArray> &pair) { return dropped.contains(pair.first.toLower()); });
    pairs.append(std::pair<QByteArray, QByteArray>("Accept-Encoding", "identity"));
    return pairs;
}

QByteArray playerHeaders(const QByteArray &header)
{
    QByteArray text;
    for (const auto &[name, value] : replayHeaderPairs(header)) {
        const QByteArray lower = name.toLower();
        if (lower != "host" && lower != "connection") {
            text += name + ": " + value + "\r\n";
        }
    }
    return text;
}

std::optional<ContentRange> parseContentRange(const QByteArray &value)
{
    static const QRegularExpression form(QStringLiteral("^bytes\\s+(\\d+)-(\\d+)/(\\d+|\\*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(value.trimmed()));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const ContentRange range { match.captured(1).toLongLong(), match.captured(2).toLongLong(),
                               match.captured(3) == QStringLiteral("*") ? -1 : match.captured(3).toLongLong() };
    if (range.last < range.first || (range.total >= 0 && range.last >= range.total)) {
        return std::nullopt;
    }
    return range;
}

} // namespace DownloadTexts
