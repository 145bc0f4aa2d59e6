#include "FormatRows.h"

#include <algorithm>

namespace FormatRows {

QList<Row> rows(const QHash<int, FormatEntry> &formats)
{
    QList<int> codes = formats.keys();
    std::sort(codes.begin(), codes.end());
    QList<Row> listed;
    for (const int code : std::as_const(codes)) {
        const FormatEntry &entry = formats[code];
        QString text = entry.resolution + QLatin1Char('\t') + entry.audio;
        if (entry.best) {
            text += QStringLiteral("\t( BEST )");
        }
        listed.append({ code, text, icon(entry.extension) });
    }
    return listed;
}

int bestRow(const QHash<int, FormatEntry> &formats, const QList<Row> &rows)
{
    int best = 0;
    for (int row = 0; row < rows.size(); ++row) {
        if (formats.value(rows.at(row).code).best) {
            best = row;
        }
    }
    return best;
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
