#include "DownloadTexts.h"
#include "LiveJob.h"

#include <QTest>

namespace {

FormatEntry format(const char *url, bool videoOnly, const char *manifest = "")
{
    FormatEntry entry;
    entry.url = QString::fromLatin1(url);
    entry.manifestUrl = QString::fromLatin1(manifest);
    entry.videoOnly = videoOnly;
    entry.httpHeaders = { { "Referer", *manifest != 0 ? manifest : url }, { "X-Split", "a\r\nCookie: forged" } };
    return entry;
}

} // namespace

class tst_LiveJob final : public QObject
{
    Q_OBJECT

private slots:
    void recordedAddress_data();
    void recordedAddress();
};

void tst_LiveJob::recordedAddress_data()
{
    FormatEntry best;
    best.best = true;
    const FormatEntry low = format("http://h/low.m3u8", false);
    const FormatEntry high = format("http://h/high.m3u8", false);
    const FormatEntry picture = format("http://h/video.m3u8", true, "http://h/master.m3u8");
    QTest::addColumn<QList<FormatEntry>>("formats");
    QTest::addColumn<FormatEntry>("chosen");
    QTest::addColumn<QString>("url");
    QTest::newRow("best: last with sound") << QList { best, low, high, picture } << best << "http://h/high.m3u8";
    QTest::newRow("best: else the master") << QList { best, picture } << best << "http://h/master.m3u8";
    QTest::newRow("a row of its own") << QList { best, low, high } << low << "http://h/low.m3u8";
    QTest::newRow("no address") << QList { best } << best << QString();
}

void tst_LiveJob::recordedAddress()
{
    QFETCH(QList<FormatEntry>, formats);
    QFETCH(FormatEntry, chosen);
    QFETCH(QString, url);
    const std::optional<StreamSave::Job> job
        = LiveJob::make(formats, chosen, QStringLiteral("/f.mkv"), UserFileSave::Replace::Refuse);
    QCOMPARE(job ? job->url : QString(), url);
    if (job) {
        // What the converter is told: the tool's headers, none smuggled in by a line break.
        QCOMPARE(DownloadTexts::playerHeaders(job->requestHeader),
                 "Referer: " + job->url.toLatin1() + "\r\nAccept-Encoding: identity\r\n");
    }
}

QTEST_GUILESS_MAIN(tst_LiveJob)
#include "tst_LiveJob.moc"
