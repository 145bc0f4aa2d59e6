#include "TitleCleaning.h"

#include <QRegularExpression>

QString cleanTitle(const QString &title)
{
    static const QRegularExpression foreign(QStringLiteral("[^ 0-9()a-zA-Z\\s]"));
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    constexpr qsizetype maxLength = 30;

    QString clean = title;
    clean.replace(foreign, QStringLiteral(" "));
    clean.replace(spaces, QStringLiteral(" "));
    return clean.trimmed().left(maxLength);
}
