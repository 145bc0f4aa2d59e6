#include "FormatListing.h"

#include <QFile>
#include <QTest>

namespace {

QByteArray sample(const char *name)
{
    QFile file(QStringLiteral(CORVANE_SOURCE_DIR "/tests/data/ytdl/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "id resolution", then "video" or "audio" for a format without the other.
QStringList summaries(const QList<FormatEntry> &formats)
{
    QStringList seen;
    for (const FormatEntry &entry : formats) {
        seen << (entry.id + QLatin1Char(' ') + entry.resolution
                 + (entry.videoOnly ? QStringLiteral(" video") : QString())
                 + (entry.audioOnly ? QStringLiteral(" audio") : QString()));
    }
    return seen;
}

} // namespace

class tst_FormatListing final : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void selector_data();
    void selector();
    void live_data();
    void live();
};

void tst_FormatListing::listing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QStringList>("videos");
    QTest::addColumn<QStringList>("formats");
    QTest::addColumn<QString>("details");

    // Saved from the real tool against local pages, trimmed to the fields read.
    QTest::newRow("HLS page: audio rendition in English, two video-only variants")
        << sample("hls-page.json") << "HLS page (1)" << QString() << QStringList()
        << QStringList { "bv*+ba/b best", "hls-group_aud-audio_2 audio only audio", "hls-295 160x120 video",
                         "hls-625 320x240 video" }
        << "mp4, [en], audio_2 | mp4, avc1, 296k | mp4, avc1, 626k";
    QTest::newRow("DASH manifest")
        << sample("dash-manifest.json") << "manifest" << QString() << QStringList()
        << QStringList { "bv*+ba/b best", "2 audio only audio", "0 160x120 video", "1 320x240 video" }
        << "m4a, mp4a, 69k, DASH audio | mp4, avc1, 200k, DASH video | mp4, avc1, 500k, DASH video";
    QTest::newRow("page of two videos, UTF-8 title")
        << sample("two-videos.json") << "Café Live 東京 (1)" << QString()
        << QStringList { "1 Café Live 東京 (1) ", "2 Café Live 東京 (2) 1:05" } << QStringList { "0 unknown" } << "mp4";
    QTest::newRow("two sources, codecs unknown")
        << sample("two-sources.json") << "Two (1)" << QString() << QStringList()
        << QStringList { "bv*+ba/b best", "0 unknown", "1 unknown" } << "webm | mp4";
    QTest::newRow("mp3 file") << sample("audio-file.json") << "a" << QString() << QStringList()
                              << QStringList { "mpeg audio only audio" } << "mp3";
    QTest::newRow("length in seconds, size, storyboard left out")
        << QByteArray(R"({"title": "Long", "duration": 3723.4, "formats": [
                         {"format_id": "sb0", "ext": "mhtml", "vcodec": "none", "acodec": "none"},
                         {"format_id": "22", "ext": "mp4", "width": 1280, "height": 720, "filesize": 3145728}]})")
        << "Long"
        << "1:02:03" << QStringList() << QStringList { "22 1280x720" } << "mp4, 3.0MiB";
    QTest::newRow("not the tool's document")
        << QByteArray("ERROR: nothing") << QString() << QString() << QStringList() << QStringList() << QString();
}

void tst_FormatListing::listing()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, formats);
    QVERIFY(!json.isEmpty());
    const std::optional<FormatListing> listing = parseFormatListing(json);
    QCOMPARE(listing.has_value(), !formats.isEmpty());
    if (!listing) {
        return;
    }
    QTEST(listing->title, "title");
    QTEST(listing->duration, "duration");
    QStringList videos;
    for (const PageVideo &video : listing->videos) {
        videos << QStringLiteral("%1 %2 %3").arg(video.item).arg(video.title, video.duration);
    }
    QTEST(videos, "videos");
    QCOMPARE(summaries(listing->formats), formats);
    QStringList details;
    for (const FormatEntry &entry : listing->formats) {
        if (!entry.best) {
            details << entry.details;
        }
    }
    QTEST(details.join(QStringLiteral(" | ")), "details");
}

void tst_FormatListing::selector_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<QString>("selector");

    QTest::newRow("best as video") << "best" << false << "bv*+ba/b";
    QTest::newRow("video only as video gets sound") << "video" << false << "hls-295+ba/hls-295";
    QTest::newRow("video only as audio") << "video" << true << "ba/b";
    QTest::newRow("audio only as video gets pictures") << "audio" << false << "bv+hls-295/hls-295";
}

void tst_FormatListing::selector()
{
    QFETCH(QString, row);
    FormatEntry entry;
    entry.id = QStringLiteral("hls-295");
    entry.best = row == QLatin1String("best");
    entry.videoOnly = row == QLatin1String("video");
    entry.audioOnly = row == QLatin1String("audio");
    QFETCH(bool, audio);
    QTEST(formatSelector(entry, audio), "selector");
}

void tst_FormatListing::live_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("live"); // -1: the tool does not say
    QTest::newRow("is_live, HLS format") << QByteArray(R"({"is_live": true, "formats": [{"protocol": "m3u8_native",
        "url": "http://h/1.m3u8", "manifest_url": "http://h/m.m3u8", "http_headers": {"Referer": "http://h/"}}]})")
                                         << 1;
    QTest::newRow("live_status") << QByteArray(R"({"is_live": null, "live_status": "is_live"})") << 1;
    QTest::newRow("was live") << QByteArray(R"({"live_status": "was_live"})") << 0;
    QTest::newRow("not said") << QByteArray("{}") << -1;
}

void tst_FormatListing::live()
{
    QFETCH(QByteArray, json);
    const std::optional<FormatListing> listing = parseFormatListing(json);
    QTEST(listing->live ? int(*listing->live) : -1, "live");
    for (const FormatEntry &format : listing->formats) {
        QVERIFY(format.hls && format.url == "http://h/1.m3u8" && format.manifestUrl == "http://h/m.m3u8");
        QCOMPARE(format.httpHeaders, (QList<std::pair<QByteArray, QByteArray>> { { "Referer", "http://h/" } }));
    }
}

QTEST_GUILESS_MAIN(tst_FormatListing)
#include "tst_FormatListing.moc"
