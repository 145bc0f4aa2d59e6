#include "MediaProbe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

namespace MediaProbe {

namespace {

QByteArray run(const QString &program, const QStringList &arguments,
               QProcess::ProcessChannelMode channels = QProcess::MergedChannels)
{
    QProcess process;
    process.setProcessChannelMode(channels);
    process.start(program, arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

QJsonObject probe(const QString &file)
{
    return QJsonDocument::fromJson(
               run(QStringLiteral("ffprobe"),
                   { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_streams"),
                     QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"), file }))
        .object();
}

} // namespace

QJsonObject stream(const QString &file, const QString &type)
{
    const QJsonArray streams = probe(file).value(QStringLiteral("streams")).toArray();
    for (const auto &entry : streams) {
        if (entry.toObject().value(QStringLiteral("codec_type")).toString() == type) {
            return entry.toObject();
        }
    }
    return {};
}

double duration(const QString &file)
{
    return probe(file)
        .value(QStringLiteral("format"))
        .toObject()
        .value(QStringLiteral("duration"))
        .toString()
        .toDouble();
}

double maxVolume(const QString &file)
{
    const QString report = QString::fromLocal8Bit(
        run(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
            { QStringLiteral("-i"), file, QStringLiteral("-map"), QStringLiteral("0:a"), QStringLiteral("-af"),
              QStringLiteral("volumedetect"), QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-") }));
    const auto match = QRegularExpression(QStringLiteral("max_volume: (-?[0-9.]+) dB")).match(report);
    return match.hasMatch() ? match.captured(1).toDouble() : -1000.0;
}

QColor averageColour(const QString &file, double second)
{
    const QByteArray pixel
        = run(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
              { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"), QString::number(second),
                QStringLiteral("-i"), file, QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-vf"),
                QStringLiteral("scale=1:1:flags=area"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-") },
              QProcess::SeparateChannels);
    if (pixel.size() != 3) {
        return {};
    }
    return QColor(quint8(pixel.at(0)), quint8(pixel.at(1)), quint8(pixel.at(2)));
}

} // namespace MediaProbe
