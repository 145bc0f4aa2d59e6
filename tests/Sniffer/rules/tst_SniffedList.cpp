#include "SniffedList.h"

#include <QTest>

namespace {

const QTime noon(12, 0, 5);

QByteArray length(qint64 bytes)
{
    return QByteArray::number(bytes) + "\r\n";
}

} // namespace

class tst_SniffedList final : public QObject
{
    Q_OBJECT

private slots:
    void sizeDecidesWhatIsListed_data();
    void sizeDecidesWhatIsListed();
    void duplicatesByAddressOrSize();
    void overflowDropsOldestAndKeepsNumbers();
    void newestRowFirst();
    void cleansType_data();
    void cleansType();
    void usualExtensions();
    void marksVideoSiteItems();
    void ignoredInTheReportedForm();
    void savedNames_data();
    void savedNames();
    void streamsAreOneRow();
};

void tst_SniffedList::sizeDecidesWhatIsListed_data()
{
    QTest::addColumn<QByteArray>("lengthText");
    QTest::addColumn<QString>("row");
    QTest::newRow("99,999 bytes") << length(99999) << QString();
    QTest::newRow("100,000 bytes") << length(100000) << QStringLiteral("1. 12:00:05           mp4           0.10 MB");
    QTest::newRow("no length") << QByteArray() << QStringLiteral("1. 12:00:05           mp4           ?");
    QTest::newRow("not a number") << QByteArray("12abc\r\n") << QStringLiteral("1. 12:00:05           mp4           ?");
    QTest::newRow("2 GiB and more") << length(2147483648LL)
                                    << QStringLiteral("1. 12:00:05           mp4           2048.00 MB");
    QTest::newRow("surrounding blanks") << QByteArray("  1048576 \r\n")
                                        << QStringLiteral("1. 12:00:05           mp4           1.00 MB");
}

void tst_SniffedList::sizeDecidesWhatIsListed()
{
    QFETCH(QByteArray, lengthText);
    QFETCH(QString, row);
    SniffedList list;
    const auto outcome
        = list.add(QStringLiteral("http://h/a.mp4"), "GET /a.mp4 HTTP/1.1\r\n\r\n", lengthText, "mp4\r\n", noon);
    QCOMPARE(outcome == SniffedList::Outcome::Listed, !row.isEmpty());
    QCOMPARE(list.rowTexts().value(0).left(row.size()), row);
}

void tst_SniffedList::duplicatesByAddressOrSize()
{
    SniffedList list;
    QCOMPARE(list.add(QStringLiteral("http://h/a"), {}, length(200000), "mp4\r\n", noon), SniffedList::Outcome::Listed);
    QCOMPARE(list.add(QStringLiteral("http://h/a"), {}, length(300000), "mp4\r\n", noon),
             SniffedList::Outcome::Duplicate);
    QCOMPARE(list.add(QStringLiteral("http://h/b"), {}, length(200000), "mp4\r\n", noon),
             SniffedList::Outcome::Duplicate);
    QCOMPARE(list.add(QStringLiteral("http://h/b"), {}, length(300000), "mp4\r\n", noon), SniffedList::Outcome::Listed);
    QCOMPARE(list.count(), 2);
    // An unknown size is no one's duplicate.
    list.add(QStringLiteral("http://h/c"), {}, {}, "mp4\r\n", noon);
    QCOMPARE(list.add(QStringLiteral("http://h/d"), {}, {}, "mp4\r\n", noon), SniffedList::Outcome::Listed);
}

void tst_SniffedList::overflowDropsOldestAndKeepsNumbers()
{
    SniffedList list;
    for (int i = 1; i <= 26; ++i) {
        list.add(QStringLiteral("http://h/%1").arg(i), {}, length(100000 + i), "mp4\r\n", noon);
    }
    QCOMPARE(list.count(), SniffedList::capacity);
    QCOMPARE(list.at(0).number, 2);
    QCOMPARE(list.at(0).url, QStringLiteral("http://h/2"));
    QCOMPARE(list.at(24).number, 26);

    list.remove(0);
    list.add(QStringLiteral("http://h/27"), {}, length(200000), "mp4\r\n", noon);
    QCOMPARE(list.at(24).number, 27);
}

void tst_SniffedList::newestRowFirst()
{
    SniffedList list;
    list.add(QStringLiteral("http://me:pw@h:81/d/old%20one.flv?x=1"), {}, length(100000), "x-flv\r\n", QTime(9, 1, 2));
    list.add(QStringLiteral("https://h/new/"), {}, length(5 * 1048576), "MP3", QTime(23, 59, 59));
    QCOMPARE(list.rowTexts(),
             QStringList({ QStringLiteral("2. 23:59:59           MP3           5.00 MB     h"),
                           QStringLiteral("1. 09:01:02           flv           0.10 MB     old one.flv  h:81") }));
    QCOMPARE(list.at(list.indexOfRow(0)).url, QStringLiteral("https://h/new/"));
}

void tst_SniffedList::cleansType_data()
{
    QTest::addColumn<QByteArray>("mediaType");
    QTest::addColumn<QString>("type");
    QTest::newRow("content type with line end") << QByteArray("x-flv\r\n") << QStringLiteral("flv");
    QTest::newRow("plain") << QByteArray("mp4\r\n") << QStringLiteral("mp4");
    QTest::newRow("from the body") << QByteArray("MP3") << QStringLiteral("MP3");
    QTest::newRow("every x- goes") << QByteArray("x-ms-x-wmv\r\n") << QStringLiteral("ms-wmv");
    QTest::newRow("empty subtype") << QByteArray("\r\n") << QString();
}

void tst_SniffedList::cleansType()
{
    QFETCH(QByteArray, mediaType);
    QFETCH(QString, type);
    QCOMPARE(SniffedList::cleanType(mediaType), type);
}

void tst_SniffedList::usualExtensions()
{
    QCOMPARE(SniffedList::extensionFor("mp2t\r\n"), QStringLiteral("ts"));
    QCOMPARE(SniffedList::extensionFor("video/QuickTime; a=b\r\n"), QStringLiteral("mov"));
    QCOMPARE(SniffedList::extensionFor("MP3"), QStringLiteral("mp3"));
    QCOMPARE(SniffedList::extensionFor("audio/mp4"), QStringLiteral("m4a"));
}

void tst_SniffedList::marksVideoSiteItems()
{
    SniffedList list;
    list.add(QStringLiteral("http://www.youtube.com/videoplayback"), {}, length(100000), "mp4\r\n", noon);
    list.add(QStringLiteral("http://cdn.example.org/clip.mp4"), {}, length(200000), "mp4\r\n", noon);
    QVERIFY(list.at(0).fromVideoSite);
    QVERIFY(!list.at(1).fromVideoSite);
}

void tst_SniffedList::ignoredInTheReportedForm()
{
    QCOMPARE(SniffedList::reportedUrl(QStringLiteral("http://127.0.0.2:8080/v/clip.flv ")),
             QByteArray("127.0.0.2:8080/v/clip.flv"));
    QCOMPARE(SniffedList::withScheme("HTTPS://h/a"), QByteArray("HTTPS://h/a"));
    QCOMPARE(SniffedList::reportedUrl(QStringLiteral("HTTP://h/a?next=http://b/")), QByteArray("h/a?next=http://b/"));
    QCOMPARE(SniffedList::reportedUrl(QStringLiteral("https://h/a")), QByteArray("https://h/a"));
}

void tst_SniffedList::savedNames_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("path");
    QTest::newRow("name without suffix") << QStringLiteral("/v/My Clip!") << QStringLiteral("flv") << QString()
                                         << QStringLiteral("/v/My Clip!.flv");
    QTest::newRow("typed characters kept") << QStringLiteral("/v/my_clip-2 a&b") << QStringLiteral("flv") << QString()
                                           << QStringLiteral("/v/my_clip-2 a&b.flv");
    QTest::newRow("another typed suffix")
        << QStringLiteral("/v/clip.avi") << QStringLiteral("flv") << QString() << QStringLiteral("/v/clipavi.flv");
    QTest::newRow("the item's own suffix")
        << QStringLiteral("/v/clip.MP4") << QStringLiteral("mp4") << QString() << QStringLiteral("/v/clip.MP4");
    QTest::newRow("nothing safe left") << QStringLiteral("/v/ ") << QStringLiteral("flv") << QString()
                                       << QStringLiteral("/v/untitled.flv");
    QTest::newRow("filter extension added once") << QStringLiteral("/a/song") << QStringLiteral("MP3")
                                                 << QStringLiteral("MP3 (*.mp3)") << QStringLiteral("/a/song.MP3.mp3");
    QTest::newRow("filter extension already there") << QStringLiteral("/a/song.mp3") << QStringLiteral("mp3")
                                                    << QStringLiteral("MP3 (*.mp3)") << QStringLiteral("/a/song.mp3");
}

void tst_SniffedList::savedNames()
{
    QFETCH(QString, selected);
    QFETCH(QString, type);
    QFETCH(QString, filter);
    QFETCH(QString, path);
    QCOMPARE(SniffedList::targetPath(selected, type, filter), path);
}

QTEST_GUILESS_MAIN(tst_SniffedList)
#include "tst_SniffedList.moc"

void tst_SniffedList::streamsAreOneRow()
{
    using Outcome = SniffedList::Outcome;
    SniffedList list;
    // A segment seen before its playlist (the page was playing already) goes into the stream's row.
    QCOMPARE(list.add(QStringLiteral("https://cdn.test/hls/v1/seg_000.ts"), {}, length(400000), "mp2t\r\n", noon),
             Outcome::Listed);
    const QByteArray master = "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360\nv0/index.m3u8\n"
                              "#EXT-X-STREAM-INF:BANDWIDTH=2500000,RESOLUTION=1280x720\nv1/index.m3u8\n";
    QCOMPARE(list.add(QStringLiteral("https://cdn.test/hls/master.m3u8"),
                      "GET /hls/master.m3u8 HTTP/1.1\r\nReferer: https://www.page.test/watch?v=1\r\n\r\n", "?", "HLS",
                      noon, master),
             Outcome::Listed);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).stream->variants.size(), 2);
    QVERIFY(list.rowTexts().value(0).startsWith(QStringLiteral("2. 12:00:05           HLS 1280x720  ?")));
    // Its variant playlist tells the length and names segments elsewhere; they and the playlist are not rows.
    const QByteArray media = "#EXTM3U\n#EXTINF:4.0,\nhttps://media.test/s/a.ts\n#EXTINF:4.04,\n"
                             "https://media.test/s/b.ts\n#EXT-X-ENDLIST\n";
    QCOMPARE(list.add(QStringLiteral("https://cdn.test/hls/v1/index.m3u8"), {}, "?", "HLS", noon, media),
             Outcome::Updated);
    QCOMPARE(list.add(QStringLiteral("https://media.test/s/b.ts"), {}, length(400000), "mp2t\r\n", noon),
             Outcome::StreamPart);
    QVERIFY(list.rowTexts().value(0).contains(QStringLiteral("0:08        master.m3u8  www.page.test")));
    // An unrelated file on the same host is still a row.
    QCOMPARE(list.add(QStringLiteral("https://cdn.test/clip.mp4"), {}, length(400000), "mp4\r\n", noon),
             Outcome::Listed);
    // A live media playlist without a master, even one that cannot be read, is a stream of its own.
    QCOMPARE(
        list.add(QStringLiteral("https://live.test/a/live.m3u8"), {}, "?", "HLS", noon, "#EXTM3U\n#EXTINF:2,\nn1.ts\n"),
        Outcome::Listed);
    QVERIFY(list.rowTexts().value(0).contains(QStringLiteral("HLS           live        live.m3u8")));
    QCOMPARE(list.add(QStringLiteral("https://live.test/b.mpd"), {}, "?", "DASH", noon, "\x1f\x8b garbled"),
             Outcome::Listed);
    QCOMPARE(list.at(list.count() - 1).type, QStringLiteral("DASH"));
    QCOMPARE(list.at(list.count() - 1).extension, QStringLiteral("mp4"));
}
