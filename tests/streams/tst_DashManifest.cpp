#include "DashManifest.h"

#include "Files.h"

#include <QTest>

namespace {

const QUrl manifestUrl(QStringLiteral("https://cdn.example.com/manifest.mpd"));

QByteArray fixture(const char *name)
{
    return readFile(QStringLiteral(CORVANE_SOURCE_DIR "/tests/data/streams/") + QLatin1StringView(name));
}

const QByteArray chain
    = R"(<MPD mediaPresentationDuration="P1DT0H0M1.5S"><BaseURL>https://media.example.org/v1/</BaseURL>
<Period><BaseURL>p1/</BaseURL><AdaptationSet mimeType="video/mp4" width="640" height="360"><BaseURL>/root/</BaseURL>
<Representation id="a" bandwidth="1"><BaseURL>a.mp4</BaseURL><SegmentBase><Initialization range="0-9"/></SegmentBase>
</Representation><Representation id="b" bandwidth="2"><BaseURL>https://other.example.net/b.mp4?s=1</BaseURL>
</Representation></AdaptationSet></Period>
<Period><AdaptationSet contentType="video"><Representation id="c"><BaseURL>c.mp4</BaseURL></Representation>
</AdaptationSet></Period></MPD>)";

} // namespace

class tst_DashManifest final : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

void tst_DashManifest::read_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("variants");
    QTest::addColumn<int>("audio");
    QTest::addColumn<double>("duration");
    QTest::addColumn<bool>("live");
    QTest::addColumn<QStringList>("addresses"); // "!": one that does not belong

    QTest::newRow("ffmpeg template")
        << fixture("dash-template.mpd") << 2 << 1 << 8.0 << false
        << QStringList { "chunk-stream0-00001.m4s",  "init-stream2.m4s",    "chunk-stream1-00004.m4s?token=x",
                         "!chunk-stream3-00001.m4s", "!chunk-stream0-.m4s", "!init-stream0.m4s.js" };
    QTest::newRow("ffmpeg list") << fixture("dash-list.mpd") << 1 << 1 << 8.0 << false
                                 << QStringList { "chunk-stream1-00005.m4s", "init-stream0.m4s",
                                                  "!chunk-stream0-00005.m4s" };
    QTest::newRow("ffmpeg live") << fixture("dash-live.mpd") << 1 << 1 << -1.0 << true
                                 << QStringList { "chunk-stream1-12345.m4s", "!chunk-stream1-x.m4s" };
    QTest::newRow("BaseURL chain, first period")
        << chain << 2 << 0 << 86401.5 << false
        << QStringList { "https://media.example.org/root/a.mp4", "https://other.example.net/b.mp4?s=1",
                         "https://media.example.org/v1/c.mp4", "!https://media.example.org/v1/p1/a.mp4",
                         "!https://other.example.net/b.mp4" };
    QTest::newRow("inherited list, audio only, period durations")
        << QByteArray(R"(<MPD><Period duration="PT10S"><AdaptationSet contentType="audio"><SegmentList>
<Initialization sourceURL="init.mp4"/><SegmentURL media="s1.m4s"/><SegmentURL media="s2.m4s"/></SegmentList>
<Representation id="en" bandwidth="64000"><BaseURL>en/</BaseURL></Representation></AdaptationSet></Period>
<Period duration="PT0H0M10.000S"/></MPD>)")
        << 1 << 0 << 20.0 << false << QStringList { "en/s2.m4s", "en/init.mp4", "!s1.m4s" };
    QTest::newRow("prefixed, merged templates")
        << QByteArray(R"(<m:MPD xmlns:m="urn:mpeg:dash:schema:mpd:2011" mediaPresentationDuration="PT99999999999H">
<m:Period><m:AdaptationSet mimeType="video/mp4">
<m:SegmentTemplate media="$RepresentationID$/t$Time$-$Bandwidth$.m4s?k=1" initialization="$RepresentationID$/i$$.mp4"/>
<m:Representation id="hd" bandwidth="3000"/><m:Representation id="sd" bandwidth="1000">
<m:SegmentTemplate media="sd/$Number%05d$.m4s"/></m:Representation></m:AdaptationSet></m:Period></m:MPD>)")
        << 2 << 0 << -1.0 << false
        << QStringList { "hd/t123-3000.m4s?k=1&x=2", "hd/i$.mp4",          "sd/00042.m4s", "sd/i$.mp4",
                         "!hd/t123-1000.m4s?k=1",    "!hd/t-3000.m4s?k=1", "!sd/x42.m4s",  "!sd/42.m4sx",
                         "!hd/t1-3000.m4s" };
    QTest::newRow("cut after a representation") << chain.left(chain.indexOf("</AdaptationSet>")) << 2 << 0 << 86401.5
                                                << false << QStringList { "https://media.example.org/root/a.mp4" };
    QTest::newRow("cut before any") << chain.left(chain.indexOf("</Representation>")) << -1 << 0 << -1.0 << false
                                    << QStringList();
    QTest::newRow("malformed") << QByteArray("<MPD><Period><Representation id='a'/></Period></AdaptationSet></MPD>")
                               << -1 << 0 << -1.0 << false << QStringList();
    QTest::newRow("entities") << QByteArray("<!DOCTYPE MPD [<!ENTITY a \"aaaa\">]><MPD>&a;</MPD>") << -1 << 0 << -1.0
                              << false << QStringList();
    QTest::newRow("not a manifest") << QByteArray("<html><MPD/></html>") << -1 << 0 << -1.0 << false << QStringList();
}

void tst_DashManifest::read()
{
    QFETCH(QByteArray, text);
    QFETCH(int, variants);
    const std::optional<AdaptiveStream> stream = DashManifest::read(text, manifestUrl);
    QCOMPARE(stream.has_value(), variants >= 0);
    if (!stream) {
        return;
    }
    QCOMPARE(stream->variants.size(), variants);
    QTEST(int(stream->audio.size()), "audio");
    QTEST(stream->duration, "duration");
    QTEST(stream->live, "live");
    QFETCH(QStringList, addresses);
    for (const QString &address : std::as_const(addresses)) {
        const bool foreign = address.startsWith(u'!');
        QVERIFY2(stream->belongs(manifestUrl.resolved(QUrl(address.mid(foreign)))) != foreign, qPrintable(address));
    }
}

QTEST_GUILESS_MAIN(tst_DashManifest)
#include "tst_DashManifest.moc"
