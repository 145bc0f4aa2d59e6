#include "HlsPlaylist.h"

#include "Files.h"

#include <QTest>

namespace {

const QUrl playlistUrl(QStringLiteral("https://cdn.example.com/vod/clip/index.m3u8"));

QByteArray fixture(const char *name)
{
    return readFile(QStringLiteral(CORVANE_SOURCE_DIR "/tests/data/streams/") + QLatin1StringView(name));
}

QString clip(const char *name)
{
    return playlistUrl.resolved(QUrl(QString::fromLatin1(name))).toString();
}

} // namespace

class tst_HlsPlaylist final : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void belongs_data();
    void belongs();
};

void tst_HlsPlaylist::read_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("variants"); // -1: not a playlist
    QTest::addColumn<int>("audio");
    QTest::addColumn<double>("duration");
    QTest::addColumn<bool>("live");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<int>("members");
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QString>("best");

    QTest::newRow("ffmpeg ts master") << fixture("hls-ts-master.m3u8") << 2 << 0 << -1.0 << false << false << 2
                                      << QStringList { clip("out_1.m3u8") } << clip("out_0.m3u8");
    QTest::newRow("ffmpeg fmp4 master") << fixture("hls-fmp4-master.m3u8") << 3 << 1 << -1.0 << false << false << 3
                                        << QStringList { clip("out_2.m3u8") } << clip("out_0.m3u8");
    QTest::newRow("ffmpeg fmp4 vod") << fixture("hls-fmp4-media.m3u8") << 0 << 0 << 8.0 << false << false << 5
                                     << QStringList { clip("init_1.mp4") } << QString();
    QTest::newRow("ffmpeg aes-128") << fixture("hls-aes.m3u8") << 0 << 0 << 8.0 << false << true << 5
                                    << QStringList { "https://keys.example.com/key/enc.key?token=1" } << QString();
    QTest::newRow("ffmpeg live") << fixture("hls-live.m3u8") << 0 << 0 << -1.0 << true << false << 3
                                 << QStringList { clip("live3.ts") } << QString();
    QTest::newRow("addresses, CRLF, BOM")
        << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-NEW-TAG:X=1\r\n\r\n#EXTINF:1.5,\r\na.ts?x=1\r\n#EXTINF:2,title\r\n"
                      "/root/b.ts\r\n#EXTINF:1,\r\nhttps://other.example.net:443/c.ts#part\r\n"
                      "#EXTINF:1,\r\nftp://cdn.example.com/d.ts\r\n#EXT-X-ENDLIST\r\n")
        << 0 << 0 << 5.5 << false << false << 3
        << QStringList { clip("a.ts?x=1"), clip("/root/b.ts"), "https://other.example.net/c.ts" } << QString();
    QTest::newRow("byte ranges, discontinuity, no end")
        << QByteArray("#EXTM3U\n#EXTINF:1,\n#EXT-X-BYTERANGE:100@0\nall.ts\n#EXT-X-DISCONTINUITY\n#EXTINF:1,\n"
                      "#EXT-X-BYTERANGE:100@100\nall.ts\n")
        << 0 << 0 << -1.0 << true << false << 1 << QStringList { clip("all.ts") } << QString();
    QTest::newRow("vod type without end") << QByteArray("#EXTM3U\n#EXT-X-PLAYLIST-TYPE:VOD\n#EXTINF:3,\ns.ts\n") << 0
                                          << 0 << 3.0 << false << false << 1 << QStringList() << QString();
    QTest::newRow("quoted commas, i-frames, equal pictures")
        << QByteArray("#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aac\",NAME=\"en\",URI=\"audio/en.m3u8\"\n"
                      "#EXT-X-I-FRAME-STREAM-INF:BANDWIDTH=9,URI=\"iframes.m3u8\"\n#EXT-X-STREAM-INF:BANDWIDTH=900,"
                      "CODECS=\"avc1.4d401f,mp4a.40.2\",RESOLUTION=1280x720,AUDIO=\"aac\"\nlow.m3u8\n"
                      "#EXT-X-STREAM-INF:RESOLUTION=1280x720,BANDWIDTH=2000,AUDIO=\"aac\"\nhigh.m3u8\n")
        << 2 << 1 << -1.0 << false << false << 4 << QStringList { clip("audio/en.m3u8"), clip("iframes.m3u8") }
        << clip("high.m3u8");
    QTest::newRow("truncated attribute list") << QByteArray("#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k") << 0 << 0
                                              << -1.0 << true << true << 1 << QStringList { clip("k") } << QString();
    QTest::newRow("not a playlist") << QByteArray("<html>\n#EXTM3U\n#EXTINF:1,\na.ts\n") << -1 << 0 << -1.0 << false
                                    << false << 0 << QStringList() << QString();
}

void tst_HlsPlaylist::read()
{
    QFETCH(QByteArray, text);
    QFETCH(int, variants);
    const std::optional<AdaptiveStream> stream = HlsPlaylist::read(text, playlistUrl);
    QCOMPARE(stream.has_value(), variants >= 0);
    if (!stream) {
        return;
    }
    QCOMPARE(stream->variants.size(), variants);
    QTEST(int(stream->audio.size()), "audio");
    QTEST(stream->duration, "duration");
    QTEST(stream->live, "live");
    QTEST(stream->encrypted, "encrypted");
    QTEST(int(stream->members.size()), "members");
    QFETCH(QStringList, named);
    for (const QString &member : std::as_const(named)) {
        QVERIFY2(stream->members.contains(member), qPrintable(member));
    }
    QTEST(stream->bestVariant() < 0 ? QString() : stream->variants.at(stream->bestVariant()).uri, "best");
}

void tst_HlsPlaylist::belongs_data()
{
    QTest::addColumn<QString>("playlist");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("belongs");

    const QString clip = QStringLiteral("https://cdn.example.com/vod/clip/index.m3u8");
    QTest::newRow("member, fragment ignored") << "https://cdn.example.com/top.m3u8"
                                              << "https://cdn.example.com:443/a.ts#t=1" << true;
    QTest::newRow("root folder") << "https://cdn.example.com/top.m3u8"
                                 << "https://cdn.example.com/b.ts" << false;
    QTest::newRow("under the folder") << clip << "https://cdn.example.com/vod/clip/360/seg9.ts?s=1" << true;
    QTest::newRow("climbing out") << clip << "https://cdn.example.com/vod/clip/../other/seg.ts" << false;
    QTest::newRow("other host") << clip << "https://cdn2.example.com/vod/clip/seg.ts" << false;
    QTest::newRow("other port") << clip << "https://cdn.example.com:8443/vod/clip/seg.ts" << false;
    QTest::newRow("other scheme") << clip << "http://cdn.example.com/vod/clip/seg.ts" << false;
}

void tst_HlsPlaylist::belongs()
{
    QFETCH(QString, playlist);
    QFETCH(QString, address);
    QTEST(HlsPlaylist::read("#EXTM3U\n#EXTINF:1,\na.ts\n", QUrl(playlist)).value().belongs(QUrl(address)), "belongs");
}

QTEST_GUILESS_MAIN(tst_HlsPlaylist)
#include "tst_HlsPlaylist.moc"
