#include "FormatListing.h"

#include "AudioQuality.h"

#include <QRegularExpression>

namespace {

// The audio column when the site's table does not know the code: the first codec-like field from the
// end, up to its first ".".
QString audioFromFields(const QStringList &fields)
{
    static const QStringList markers
        = { QStringLiteral("@"), QStringLiteral("avc1"), QStringLiteral("vp9"), QStringLiteral("mp4a") };
    for (qsizetype i = fields.size() - 1; i >= 2; --i) {
        const QString &field = fields.at(i);
        for (const QString &marker : markers) {
            if (field.contains(marker)) {
                return field.section(QLatin1Char('.'), 0, 0).toUpper().replace(QLatin1Char(','), QLatin1Char(' '));
            }
        }
    }
    return QStringLiteral("N/A");
}

} // namespace

std::optional<FormatEntry> parseFormatLine(const QString &line)
{
    if (line.trimmed().isEmpty() || line.contains(QLatin1Char('[')) || line.contains(QLatin1String("DASH"))) {
        return std::nullopt;
    }
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    const QStringList fields = line.split(spaces);
    if (fields.constFirst() == QLatin1String("format")) {
        return std::nullopt;
    }

    constexpr qsizetype columnWidth = 12;
    FormatEntry entry;
    entry.code = fields.constFirst().toInt();
    entry.extension = fields.value(1);
    entry.resolution = fields.value(2);
    entry.audio = audioQuality(entry.code);
    if (entry.audio.isEmpty()) {
        entry.audio = audioFromFields(fields);
    }
    if (entry.audio.size() < columnWidth) {
        entry.audio += QLatin1Char('\t');
    }
    entry.best = fields.constLast() == QLatin1String("(best)");
    if (!entry.best) {
        entry.audio += QLatin1String("\t[") + fields.constLast() + QLatin1Char(']');
    }
    return entry;
}

QHash<int, FormatEntry> parseFormatListing(const QStringList &lines)
{
    QHash<int, FormatEntry> formats;
    for (const QString &line : lines) {
        if (const std::optional<FormatEntry> entry = parseFormatLine(line)) {
            formats.insert(entry->code, *entry);
        }
    }
    return formats;
}
