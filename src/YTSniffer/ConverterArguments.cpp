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

QStringList h264ConverterArguments(const QString &from, const QString &to)
{
    static const QStringList modern { QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"),
                                      QStringLiteral("mkv") };
    const QString extension = QFileInfo(to).suffix().toLower();
    if (!modern.contains(extension)) {
        return converterArguments(from, to);
    }
    QStringList arguments { QStringLiteral("-i"),       from,
                            QStringLiteral("-vf"),      QStringLiteral("pad=ceil(iw/2)*2:ceil(ih/2)*2"),
                            QStringLiteral("-c:v"),     QStringLiteral("libx264"),
                            QStringLiteral("-preset"),  QStringLiteral("veryfast"),
                            QStringLiteral("-crf"),     QStringLiteral("20"),
                            QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                            QStringLiteral("-c:a"),     QStringLiteral("aac"),
                            QStringLiteral("-b:a"),     QStringLiteral("160k") };
    if (extension == QLatin1String("mkv")) {
        // Clusters of at most a second, each written out at once: a file cut short plays up to its end.
        arguments << QStringLiteral("-cluster_time_limit") << QStringLiteral("1000") << QStringLiteral("-flush_packets")
                  << QStringLiteral("1");
    } else {
        arguments << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    }
    arguments << QStringLiteral("-y") << to;
    return arguments;
}

QStringList copyConverterArguments(const QString &from, const QString &to)
{
    const QString extension = QFileInfo(to).suffix().toLower();
    if (extension == QLatin1String("mkv")) {
        return { QStringLiteral("-i"),   from,
                 QStringLiteral("-map"), QStringLiteral("0"),
                 QStringLiteral("-c"),   QStringLiteral("copy"),
                 QStringLiteral("-y"),   to };
    }
    if (extension == QLatin1String("mp4") || extension == QLatin1String("m4v") || extension == QLatin1String("mov")) {
        return { QStringLiteral("-i"),        from,
                 QStringLiteral("-map"),      QStringLiteral("0:v?"),
                 QStringLiteral("-map"),      QStringLiteral("0:a?"),
                 QStringLiteral("-c"),        QStringLiteral("copy"),
                 QStringLiteral("-movflags"), QStringLiteral("+faststart"),
                 QStringLiteral("-y"),        to };
    }
    return {};
}
