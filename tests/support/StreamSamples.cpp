#include "StreamSamples.h"
#include "Files.h"
#include "MediaProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

QString subfolder(SampleStream stream)
{
    switch (stream) {
    case SampleStream::HlsTs:
        return QStringLiteral("ts");
    case SampleStream::HlsFmp4:
        return QStringLiteral("fmp4");
    case SampleStream::HlsAes:
        return QStringLiteral("aes");
    case SampleStream::Dash:
        return QStringLiteral("dash");
    case SampleStream::HlsLive:
        break;
    }
    return QStringLiteral("live");
}

// Sources, renditions and codecs, one copy of the sound per output that needs one. A key frame every segment lets
// each segment start a rendition.
QStringList encoding(bool live, int soundCopies)
{
    const QString pace = live ? QStringLiteral("-re ") : QString();
    const QString length = live ? QString() : QStringLiteral(":duration=%1").arg(streamSeconds);
    QString arguments
        = QStringLiteral("-v error -y %1-f lavfi -i testsrc2=size=640x360:rate=25%2 "
                         "%1-f lavfi -i sine=frequency=440:sample_rate=48000%2 "
                         "-filter_complex [0:v]split=2[hi][lo0];[lo0]scale=320:180[lo] -map [hi] -map [lo]")
              .arg(pace, length);
    arguments += QStringLiteral(" -map 1:a").repeated(soundCopies);
    arguments += QStringLiteral(" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g %1 -keyint_min %1 -sc_threshold 0 "
                                "-b:v:0 800k -b:v:1 300k -c:a aac -b:a 64k")
                     .arg(25 * segmentSeconds);
    return arguments.split(QLatin1Char(' '));
}

// HLS output into folder: a master playlist over one playlist per rendition.
QStringList hls(const QDir &folder, const QString &segmentExtension)
{
    return QStringLiteral("-f hls -hls_time %1 -master_pl_name master.m3u8 -var_stream_map")
               .arg(segmentSeconds)
               .split(QLatin1Char(' '))
        + QStringList { "v:0,a:0 v:1,a:1", "-hls_segment_filename", folder.filePath("stream_%v_%d." + segmentExtension),
                        folder.filePath(QStringLiteral("stream_%v.m3u8")) };
}

} // namespace

QString streamManifest(SampleStream stream)
{
    return QDir(subfolder(stream))
        .filePath(stream == SampleStream::Dash ? QStringLiteral("manifest.mpd") : QStringLiteral("master.m3u8"));
}

QString streamPage(SampleStream stream)
{
    return QStringLiteral("player.html?src=") + streamManifest(stream);
}

bool installPlayers(const QString &www, QString *error)
{
    const QDir web(QStringLiteral(CORVANE_SOURCE_DIR "/tests/web"));
    const QDir served(www);
    for (const QString &file : { QStringLiteral("players/hls.min.js"), QStringLiteral("players/dash.all.min.js"),
                                 QStringLiteral("player.html") }) {
        const QString target = served.filePath(QFileInfo(file).fileName());
        if (!QFileInfo::exists(target) && !QFile::copy(web.filePath(file), target)) {
            *error = web.filePath(file) + QStringLiteral(" is missing (scripts/test-players.sh fetches the players)");
            return false;
        }
    }
    return true;
}

bool makeStream(SampleStream stream, const QString &www)
{
    const QDir folder(QDir(www).filePath(subfolder(stream)));
    if (stream == SampleStream::HlsLive || !QDir().mkpath(folder.path())) {
        return false;
    }
    const QString ffmpeg = QStringLiteral("ffmpeg");
    if (stream == SampleStream::Dash) {
        return run(ffmpeg,
                   encoding(false, 1)
                       + QStringList { "-f", "dash", "-seg_duration", QString::number(segmentSeconds),
                                       "-adaptation_sets", "id=0,streams=v id=1,streams=a",
                                       folder.filePath(QStringLiteral("manifest.mpd")) });
    }
    const QStringList arguments = encoding(false, 2) + QStringList { "-hls_playlist_type", "vod" };
    if (stream == SampleStream::HlsFmp4) {
        return run(ffmpeg, arguments + QStringList { "-hls_segment_type", "fmp4" } + hls(folder, "m4s"));
    }
    if (stream == SampleStream::HlsAes) {
        // Key info: the key's address in the playlist, the key file, and an IV that the playlist then names.
        QByteArray secrets(32, '\0');
        QRandomGenerator::global()->generate(secrets.begin(), secrets.end());
        const QString keyFile = folder.filePath(QStringLiteral("media.key"));
        const QString keyInfo = folder.filePath(QStringLiteral("key.info"));
        const bool made = writeFile(keyFile, secrets.first(16))
            && writeFile(keyInfo, "media.key\n" + keyFile.toLocal8Bit() + "\n" + secrets.last(16).toHex() + "\n")
            && run(ffmpeg, arguments + QStringList { "-hls_key_info_file", keyInfo } + hls(folder, "ts"));
        return QFile::remove(keyInfo) && made;
    }
    return run(ffmpeg, arguments + hls(folder, "ts"));
}

QStringList liveStreamArguments(const QString &www)
{
    const QDir folder(QDir(www).filePath(subfolder(SampleStream::HlsLive)));
    QDir().mkpath(folder.path());
    const QStringList window { "-hls_list_size", "5", "-hls_flags", "delete_segments" };
    return encoding(true, 2) + window + hls(folder, "ts");
}
