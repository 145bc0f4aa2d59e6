#include "FormatRows.h"

#include <QHash>

#include <algorithm>

namespace FormatRows {

QList<Row> rows(const QList<FormatEntry> &formats)
{
    const QString audioOnly = QStringLiteral("audio only");
    QList<Row> listed;
    for (const FormatEntry &entry : formats) {
        QString text = entry.resolution + QLatin1Char('\t') + entry.details;
        if (entry.videoOnly) {
            text += QStringLiteral("\tvideo only");
        } else if (entry.audioOnly && entry.resolution != audioOnly) {
            text += QLatin1Char('\t') + audioOnly;
        }
        listed.append({ text, icon(entry.extension) });
    }
    return listed;
}

int preselectedRow(const QList<Row> &rows)
{
    return std::max(int(rows.size()) - 1, 0);
}

QString icon(const QString &extension)
{
    static const QHash<QString, QString> icons { { QStringLiteral("mp4"), QStringLiteral(":/signMP4") },
                                                 { QStringLiteral("3gp"), QStringLiteral(":/sign3GP") },
                                                 { QStringLiteral("flv"), QStringLiteral(":/signFLV") },
                                                 { QStringLiteral("webm"), QStringLiteral(":/signWebM") } };
    return icons.value(extension, QStringLiteral(":/signNONE"));
}

} // namespace FormatRows
