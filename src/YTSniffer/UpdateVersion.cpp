#include "UpdateVersion.h"

#include <QRegularExpression>

QString versionFromUpdateOutput(const QString &output)
{
    static const QRegularExpression other(QStringLiteral("[^\\.0-9+]"));
    constexpr qsizetype shortest = 6;

    QString version = output;
    version.remove(other);
    version.remove(QStringLiteral("..."));
    if (version.endsWith(QLatin1Char('.'))) {
        version.chop(2);
    }
    return version.size() < shortest ? QStringLiteral("last") : version;
}
