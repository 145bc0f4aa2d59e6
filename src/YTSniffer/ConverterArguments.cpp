#include "ConverterArguments.h"

#include <QFileInfo>

QStringList codecArguments(const QString &extension)
{
    if (extension == QLatin1String("mp4") || extension == QLatin1String("m4v") || extension == QLatin1String("mkv")) {
        return { QStringLiteral("-vcodec"), QStringLiteral("mpeg4") };
    }
    if (extension == QLatin1String("flv")) {
        return { QStringLiteral("-vcodec"), QStringLiteral("flv") };
    }
    if (extension == QLatin1String("mov")) {
        return { QStringLiteral("-level"), QStringLiteral("3.1"), QStringLiteral("-vcodec"),
                 QStringLiteral("mpeg4"),  QStringLiteral("-f"),  QStringLiteral("mov") };
    }
    return {};
}

QStringList converterArguments(const QString &from, const QString &to)
{
    QStringList arguments { QStringLiteral("-i"), from };
    arguments += codecArguments(QFileInfo(to).suffix());
    arguments += { QStringLiteral("-qscale"), QStringLiteral("1"), QStringLiteral("-y"), to };
    return arguments;
}
