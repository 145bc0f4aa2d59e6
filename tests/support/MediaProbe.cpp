#include "MediaProbe.h"

#include <QDebug>
#include <QProcess>

bool run(const QString &program, const QStringList &arguments, const QString &folder, QByteArray *output)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return false;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return true;
}

MediaProbe probeMedia(const QString &file)
{
    QByteArray output;
    MediaProbe seen;
    if (!run(QStringLiteral("ffprobe"),
             { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
               QStringLiteral("stream=codec_name,codec_type,width,height:format=duration"), QStringLiteral("-of"),
               QStringLiteral("default=noprint_wrappers=1"), file },
             QString(), &output)) {
        return seen;
    }
    for (const QByteArray &line : output.split('\n')) {
        const QString value = QString::fromLatin1(line.mid(line.indexOf('=') + 1));
        if (line.startsWith("codec_name=")) {
            seen.codecs.append(value);
        } else if (line.startsWith("codec_type=")) {
            seen.streams.append(value);
        } else if (line.startsWith("duration=")) {
            seen.duration = value.toDouble();
        } else if (line.startsWith("width=") && seen.resolution.isEmpty()) {
            seen.resolution = value;
        } else if (line.startsWith("height=") && !seen.resolution.contains(QLatin1Char('x'))) {
            seen.resolution += QLatin1Char('x') + value;
        }
    }
    seen.streams.sort();
    seen.codecs.sort();
    return seen;
}
