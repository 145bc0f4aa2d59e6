#include "ProgressChunk.h"

#include <QRegularExpression>

float percentFromChunk(const QString &chunk)
{
    const qsizetype start = chunk.indexOf(QLatin1Char(']')) + 1;
    const qsizetype end = chunk.indexOf(QLatin1Char('%'));
    // A negative length takes the rest of the chunk.
    const QString number = chunk.mid(start, end - start);
    bool ok = false;
    const float value = number.trimmed().toFloat(&ok);
    return ok ? value : 0.0F;
}

QList<float> progressPercents(const QString &chunk)
{
    static const QRegularExpression lineEnds(QStringLiteral("[\r\n]"));
    QList<float> percents;
    for (const QString &line : chunk.split(lineEnds, Qt::SkipEmptyParts)) {
        const qsizetype bracket = line.indexOf(QLatin1Char(']'));
        if (bracket >= 0 && line.indexOf(QLatin1Char('%'), bracket) > bracket) {
            percents.append(percentFromChunk(line));
        }
    }
    return percents;
}
