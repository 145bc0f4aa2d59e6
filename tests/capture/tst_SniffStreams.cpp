#include "CVideoSniffer.h"
#include "CollectedReports.h"
#include "Files.h"
#include "MediaProbe.h"
#include "SniffedList.h"
#include "StreamChoice.h"
#include "StreamSave.h"
#include "TempHome.h"
#include "TlsRig.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Real players in a real browser play adaptive streams over TLS 1.3 and HTTP/2: with the browser's key log the
// sniffer must list each stream as one row, whatever its segments, and saving a row must give the whole stream.
class tst_SniffStreams final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void oneRowPerStreamSavedWhole();

private:
    // The list's row of the stream whose master playlist or manifest is at path on the server; null when none.
    const SniffedItem *row(const QString &path) const;
    // Saves the row's best variant as the user would; empty when saved, else why not.
    QString save(const SniffedItem &item, const QString &file, bool stopWhenLive);

    TempHome home;
    QTemporaryDir folder;
    std::unique_ptr<TlsRig> rig;
    SniffedList list;
};

void tst_SniffStreams::initTestCase()
{
    rig = std::make_unique<TlsRig>();
    if (!rig->unavailable().isEmpty()) {
        QSKIP(qPrintable(rig->unavailable()));
    }
    QVERIFY2(rig->failure().isEmpty(), qPrintable(rig->failure()));
}

const SniffedItem *tst_SniffStreams::row(const QString &path) const
{
    for (int index = 0; index < list.count(); ++index) {
        if (list.at(index).url == QStringLiteral("https://media.test/") + path) {
            return &list.at(index);
        }
    }
    return nullptr;
}

QString tst_SniffStreams::save(const SniffedItem &item, const QString &file, bool stopWhenLive)
{
    // This namespace cannot resolve media.test; the converter does not check the certificate's names.
    QUrl address(item.url);
    address.setHost(rig->serverAddress().toString());
    StreamSave::Job job;
    job.url = address.toString();
    job.requestHeader = item.requestHeader;
    job.maps = StreamChoice::converterMaps(*item.stream, item.stream->bestVariant());
    job.duration = item.stream->duration;
    job.live = item.stream->live;
    job.fileName = file;
    StreamSave saving;
    QSignalSpy finished(&saving, &StreamSave::finished);
    if (stopWhenLive) {
        // Some seconds of it, from when it was seen.
        connect(&saving, &StreamSave::progress, &saving, [&saving, stopped = false](double seconds) mutable {
            if (seconds >= 5 && !std::exchange(stopped, true)) {
                saving.stopAndKeep();
            }
        });
    }
    saving.start(job);
    if (!finished.wait(60000)) {
        return QStringLiteral("the save did not end");
    }
    return saving.errorText();
}

void tst_SniffStreams::oneRowPerStreamSavedWhole()
{
    const QString keyLog = folder.filePath(QStringLiteral("keys.log"));
    qputenv("SSLKEYLOGFILE", keyLog.toLocal8Bit());
    CVideoSniffer engine(rig->adapter());
    if (!engine.isCapturing() && engine.permissionDenied()) {
        QSKIP("capturing needs root or CAP_NET_RAW");
    }
    QVERIFY2(engine.isCapturing(), qPrintable(engine.openError()));
    engine.registerCallback(collectReport);

    // One page plays them all at once, as a page with several players would.
    const SampleStream streams[] = { SampleStream::HlsTs, SampleStream::HlsFmp4, SampleStream::HlsAes,
                                     SampleStream::Dash, SampleStream::HlsLive };
    QByteArray page = "<!DOCTYPE html>\n";
    for (const SampleStream stream : streams) {
        const QString player = rig->streamPage(stream);
        QVERIFY2(!player.isEmpty(), qPrintable(rig->failure()));
        page += "<iframe src=\"" + player.toUtf8() + "\"></iframe>\n";
    }
    QVERIFY(writeFile(rig->wwwFolder() + QStringLiteral("/all.html"), page));
    // The last segments of the VOD streams, both pictures and sound.
    const QRegularExpression last(QStringLiteral("^/(ts|aes)/stream_\\d_3\\.ts$|^/fmp4/stream_\\d_3\\.m4s$"
                                                 "|^/dash/chunk-stream[0-2]-00004\\.m4s$"));
    QVERIFY2(rig->browse(443, keyLog, QStringLiteral("all.html"), last), qPrintable(rig->failure()));
    QTRY_VERIFY_WITH_TIMEOUT(rig->servedPaths(443).filter(last).size() >= 5, 60000);

    // Every segment of the MPEG-TS streams is reported as media: the last one tells that all have come.
    bool lastSegmentSeen = false;
    const auto drain = [&] {
        while (std::optional<SniffReport> report = takeReport()) {
            const SniffedList::Outcome outcome
                = list.add(QString::fromLatin1(report->url), report->requestHeader, report->contentLength,
                           report->mediaType, QTime::currentTime(), report->body);
            lastSegmentSeen = lastSegmentSeen
                || (report->url.contains("/ts/stream_0_3.ts") && outcome == SniffedList::Outcome::StreamPart);
        }
        return lastSegmentSeen && list.count() >= 5;
    };
    QTRY_VERIFY_WITH_TIMEOUT(drain(), 30000);
    QCOMPARE(list.count(), 5);

    for (const SampleStream stream : streams) {
        const QString manifest = streamManifest(stream);
        const SniffedItem *item = row(manifest);
        QVERIFY2(item && item->stream, qPrintable(manifest));
        QCOMPARE(item->stream->variants.size(), 2);
        QCOMPARE(item->stream->live, stream == SampleStream::HlsLive);
        const QString file = folder.filePath(manifest.section(QLatin1Char('/'), 0, 0) + QStringLiteral(".mkv"));
        const QString failure = save(*item, file, stream == SampleStream::HlsLive);
        QVERIFY2(failure.isEmpty(), qPrintable(manifest + QStringLiteral(": ") + failure));

        const MediaProbe probe = probeMedia(file);
        QCOMPARE(probe.streams, QStringList({ "audio", "video" }));
        QCOMPARE(probe.resolution, QStringLiteral("640x360"));
        if (stream == SampleStream::HlsLive) {
            QVERIFY2(probe.duration >= 4, qPrintable(QString::number(probe.duration)));
        } else {
            QVERIFY2(qAbs(probe.duration - streamSeconds) <= 0.5, qPrintable(QString::number(probe.duration)));
        }
        QProcess decode;
        decode.setProcessChannelMode(QProcess::MergedChannels);
        decode.start(QStringLiteral("ffmpeg"), { "-v", "error", "-i", file, "-f", "null", "-" });
        QVERIFY(decode.waitForFinished(60000));
        QCOMPARE(decode.readAll(), QByteArray());
    }
}

QTEST_GUILESS_MAIN(tst_SniffStreams)
#include "tst_SniffStreams.moc"
