#include "AudioQuality.h"
#include "FormatListing.h"
#include "ToolOutput.h"

#include <QFile>
#include <QTest>

namespace {

using Table = QHash<int, FormatEntry>;

FormatEntry entry(int code, bool best, const char *extension, const char *resolution, const char *audio)
{
    return { code, best, QString::fromLatin1(extension), QString::fromLatin1(resolution), QString::fromLatin1(audio) };
}

QByteArray listing(const QString &name)
{
    QFile file(QStringLiteral(CORVANE_SOURCE_DIR "/tests/data/ytdl/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(FormatEntry)

bool operator==(const FormatEntry &a, const FormatEntry &b)
{
    return a.code == b.code && a.best == b.best && a.extension == b.extension && a.resolution == b.resolution
        && a.audio == b.audio;
}

char *toString(const FormatEntry &e)
{
    return QTest::toString(
        QStringLiteral("{%1 best=%2 '%3' '%4' '%5'}").arg(e.code).arg(e.best).arg(e.extension, e.resolution, e.audio));
}

class tst_FormatListing final : public QObject
{
    Q_OBJECT

private slots:
    void formatLine_data();
    void formatLine();
    void listings_data();
    void listings();
    void sameCodeKeepsLaterLine();
    void audioQuality_data();
    void audioQuality();
};

void tst_FormatListing::formatLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<FormatEntry>("expected");

    const FormatEntry none;
    QTest::newRow("header") << QStringLiteral("format code  extension  resolution note") << false << none;
    QTest::newRow("information") << QStringLiteral("[info] Available formats for abc:") << false << none;
    QTest::newRow("DASH") << QStringLiteral("140  m4a  audio only  DASH audio  128k") << false << none;
    QTest::newRow("blank") << QStringLiteral("   ") << false << none;
    QTest::newRow("best, known code, 12 characters")
        << QStringLiteral("22  mp4  1280x720  hd720 , avc1.64001F, mp4a.40.2@192k (best)") << true
        << entry(22, true, "mp4", "1280x720", "AAC 192 KBps");
    QTest::newRow("known code, short text") << QStringLiteral("18  mp4  640x360  medium , avc1.42001E, mp4a.40.2@ 96k")
                                            << true << entry(18, false, "mp4", "640x360", "AAC 96 KBps\t\t[96k]");
    QTest::newRow("unknown code, marker in last field")
        << QStringLiteral("300  mp4  1280x720  avc1.4d401f, mp4a.40.2") << true
        << entry(300, false, "mp4", "1280x720", "MP4A\t\t[mp4a.40.2]");
    QTest::newRow("comma becomes space") << QStringLiteral("301  webm  640x360  vp9,") << true
                                         << entry(301, false, "webm", "640x360", "VP9 \t\t[vp9,]");
    QTest::newRow("first two fields never examined") << QStringLiteral("302  avc1.x  640x360  medium") << true
                                                     << entry(302, false, "avc1.x", "640x360", "N/A\t\t[medium]");
    QTest::newRow("trailing spaces") << QStringLiteral("303  mp4  640x360  medium  ") << true
                                     << entry(303, false, "mp4", "640x360", "N/A\t\t[]");
    QTest::newRow("non-numeric code") << QStringLiteral("mp4          mp4        unknown") << true
                                      << entry(0, false, "mp4", "unknown", "N/A\t\t[unknown]");
}

void tst_FormatListing::formatLine()
{
    QFETCH(QString, line);
    QFETCH(bool, parsed);
    QFETCH(FormatEntry, expected);
    const std::optional<FormatEntry> result = parseFormatLine(line);
    QCOMPARE(result.has_value(), parsed);
    if (parsed) {
        QCOMPARE(*result, expected);
    }
}

void tst_FormatListing::listings_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<Table>("expected");

    // Saved from the real tool against a local server.
    const QByteArray hls = listing(QStringLiteral("formats-hls-master.txt"));
    QVERIFY(!hls.isEmpty());
    const Table hlsTable { { 339, entry(339, false, "mp4", "160x120", "MP4A\t\t[0k]") },
                           { 625, entry(625, false, "mp4", "320x240", "MP4A\t\t[0k]") } };
    QTest::newRow("HLS master with two variants") << hls << hlsTable;
    QTest::newRow("same with Windows line ends") << QByteArray(hls).replace("\n", "\r\n") << hlsTable;
    QTest::newRow("direct file") << listing(QStringLiteral("formats-direct-file.txt"))
                                 << Table { { 0, entry(0, false, "mp4", "unknown", "N/A\t\t[unknown]") } };
    QTest::newRow("page with a video") << listing(QStringLiteral("formats-video-page.txt"))
                                       << Table { { 0, entry(0, false, "mp4", "unknown", "N/A\t\t[unknown]") } };
    QTest::newRow("best seen before a CR line end")
        << QByteArray("format code  extension  resolution note\r\n"
                      "22  mp4  1280x720  hd720 , avc1.64001F, mp4a.40.2@192k (best)\r\n"
                      "18  mp4  640x360  medium , avc1.42001E, mp4a.40.2@ 96k\r\n")
        << Table { { 22, entry(22, true, "mp4", "1280x720", "AAC 192 KBps") },
                   { 18, entry(18, false, "mp4", "640x360", "AAC 96 KBps\t\t[96k]") } };
    QTest::newRow("no output") << QByteArray() << Table();
}

void tst_FormatListing::listings()
{
    QFETCH(QByteArray, output);
    QFETCH(Table, expected);
    QCOMPARE(parseFormatListing(toolLines(output)), expected);
}

void tst_FormatListing::sameCodeKeepsLaterLine()
{
    const Table table
        = parseFormatListing({ QStringLiteral("mp4  mp4  unknown"), QStringLiteral("webm  webm  unknown") });
    QCOMPARE(table.size(), 1);
    QCOMPARE(table.value(0).extension, QStringLiteral("webm"));
}

void tst_FormatListing::audioQuality_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");

    QTest::newRow("151") << 151 << QStringLiteral("AAC 24 KBps");
    QTest::newRow("13") << 13 << QStringLiteral("AAC N/A");
    QTest::newRow("5") << 5 << QStringLiteral("MP3 64 KBps");
    QTest::newRow("102") << 102 << QStringLiteral("Vorbis 192 KBps");
    QTest::newRow("160 unknown") << 160 << QString();
}

void tst_FormatListing::audioQuality()
{
    QFETCH(int, code);
    QFETCH(QString, expected);
    QCOMPARE(::audioQuality(code), expected);
}

QTEST_GUILESS_MAIN(tst_FormatListing)
#include "tst_FormatListing.moc"
