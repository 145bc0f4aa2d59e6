#include "TitleCleaning.h"

#include "SaveName.h"

#include <QRegularExpression>

QString cleanTitle(const QString &title)
{
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    constexpr qsizetype maxLength = 30;

    QString clean = title;
    clean = clean.replace(spaces, QStringLiteral(" ")).trimmed();
    if (clean.isEmpty()) {
        return clean;
    }
    if (clean.size() > maxLength) {
        clean.truncate(clean.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength);
    }
    return SaveName::clean(clean);
}
