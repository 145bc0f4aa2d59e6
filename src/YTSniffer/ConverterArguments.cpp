#include "ConverterArguments.h"

#include <QFileInfo>

namespace {

// A container for sound only (any case).
bool isAudioContainer(const QString &extension)
{
    static const QStringList audio { QStringLiteral("mp3"),  QStringLiteral("m4a"), QStringLiteral("aac"),
                                     QStringLiteral("aiff"), QStringLiteral("wma"), QStringLiteral("flac"),
                                     QStringLiteral("ogg"),  QStringLiteral("oga"), QStringLiteral("opus"),
                                     QStringLiteral("wav") };
    return audio.contains(extension, Qt::CaseInsensitive);
}

} // namespace

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
    // An audio container can hold a picture or video track too (m4a takes H.264, ogg Theora, wma an
    // MPEG-4 variant); the user asked for the sound only.
    if (isAudioContainer(extension)) {
        return { QStringLiteral("-vn") };
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
