#include "BoundedFetch.h"
#include "Downloader.h"
#include "Files.h"
#include "FormatListing.h"
#include "FullDisk.h"
#include "LocalHttpServer.h"
#include "MediaProbe.h"
#include "ToolRelease.h"
#include "UpdateVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

using namespace std::chrono_literals;

namespace {

constexpr int toolWaitMs = 60000;
// The direct file's one format, as the tool names it.
const QString directFile = QStringLiteral("mp4");
constexpr double clipSeconds = 5.0;

QString converter()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
}

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

// A stand-in for the site-download tool, for failures the real one cannot be made to produce.
bool writeFakeTool(const QString &folder, const QByteArray &script, bool executable = true)
{
    const QString path = folder + QStringLiteral("/ytdl");
    if (!writeFile(path, "#!/bin/sh\n" + script + '\n')) {
        return false;
    }
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) {
        permissions |= QFile::ExeOwner;
    }
    return QFile::setPermissions(path, permissions);
}

} // namespace

class tst_Downloader final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void missingToolReportedOnceAfterConnecting();
    void options_data();
    void options();
    void secondUrlStartsFromAnEmptyRecord();
    void chosenRenditionIsSaved_data();
    void chosenRenditionIsSaved();
    void certificateFailureInToolWords();
    void downloadAndConvert_data();
    void downloadAndConvert();
    void sameExtensionMoves_data();
    void sameExtensionMoves();
    void stopDuringSlowDownloadRemovesPart();
    void existingFilesStayUntouched_data();
    void existingFilesStayUntouched();
    void conversionCutShort_data();
    void conversionCutShort();
    void writeFailuresNameTheirCause_data();
    void writeFailuresNameTheirCause();
    void refusedUntilSignedIn();
    void subtitlesBesideTheDownload();
    void conversionCopiesWhatTheContainerTakes_data();
    void conversionCopiesWhatTheContainerTakes();
    void selfTest_data();
    void selfTest();
    void toolFailures_data();
    void toolFailures();
    void update_data();
    void update();
    void privateCopy_data();
    void privateCopy();
    void newerRequestWins();
    void boundedFetchGivesUp_data();
    void boundedFetchGivesUp();

private:
    QString url(const QString &path) const { return server->url(path); }
    static bool setUrl(Downloader &downloader, const QString &address);
    // Reads a served page; true when its options arrived without an error.
    bool readPage(Downloader &downloader, const QString &path) const;

    QTemporaryDir served;
    std::unique_ptr<LocalHttpServer> server;
};

bool tst_Downloader::setUrl(Downloader &downloader, const QString &address)
{
    const QUrl url(address);
    return downloader.setUrl(&url);
}

bool tst_Downloader::readPage(Downloader &downloader, const QString &path) const
{
    QSignalSpy options(&downloader, &Downloader::haveOptions);
    QSignalSpy errors(&downloader, &Downloader::hasError);
    if (!setUrl(downloader, url(path))) {
        return false;
    }
    downloader.requestOptions();
    return QTest::qWaitFor([&] { return !options.isEmpty() || !errors.isEmpty(); }, toolWaitMs) && errors.isEmpty();
}

void tst_Downloader::initTestCase()
{
    QVERIFY(served.isValid());
    QVERIFY(QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/ytdl")).isExecutable());
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty());
    const QString clip = served.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(run(converter(),
                words("-v error -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t")
                    + QStringList { QString::number(clipSeconds) } + words("-pix_fmt yuv420p -movflags +faststart")
                    + QStringList { clip }));
    // Distinct bandwidths give the two variants distinct numeric codes.
    QVERIFY(run(converter(),
                QStringList { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), clip }
                    + words("-filter_complex [0:v]split=2[a][b];[a]scale=160:120[v0];[b]scale=320:240[v1] "
                            "-map [v0] -map 0:a -map [v1] -map 0:a -b:v:0 240k -b:v:1 500k "
                            "-f hls -hls_playlist_type vod -master_pl_name master.m3u8 -var_stream_map")
                    + QStringList { QStringLiteral("v:0,a:0 v:1,a:1"), served.filePath(QStringLiteral("v%v.m3u8")) }));
    const QByteArray title = "<html><head><title>Caf\xC3\xA9 \xE2\x80\x93 Live!</title></head><body>";
    QVERIFY(writeFile(served.filePath(QStringLiteral("page.html")), title + "<video src=\"clip.mp4\"></video>"));
    QVERIFY(writeFile(served.filePath(QStringLiteral("subtitled.html")),
                      "<video src=\"clip.mp4\"><track kind=\"subtitles\" srclang=\"en\" src=\"clip.en.vtt\"></video>"));
    QVERIFY(writeFile(served.filePath(QStringLiteral("clip.en.vtt")), "WEBVTT\n\n00:00.000 --> 00:02.000\nHello\n"));
    // Pages of the adaptive kinds, from a short piece: two video renditions and a sound of their own.
    QVERIFY(run(converter(), words("-v error -i clip.mp4 -t 1.5 -c copy short.mp4"), served.path()));
    const QStringList renditions
        = words("-v error -i short.mp4 -filter_complex [0:v]split=2[a][b];[a]scale=160:120[v0];[b]scale=320:240[v1] "
                "-map [v0] -map [v1] -map 0:a -c:v libx264 -b:v:0 200k -b:v:1 500k -c:a aac");
    QVERIFY(run(converter(),
                renditions
                    + words("-f hls -hls_playlist_type vod -master_pl_name hls.m3u8 "
                            "-hls_segment_filename hls%v_%03d.ts -var_stream_map")
                    + QStringList { QStringLiteral("v:0,agroup:aud v:1,agroup:aud a:0,agroup:aud,language:en,name:en"),
                                    QStringLiteral("hls%v.m3u8") },
                served.path()));
    QVERIFY(writeFile(served.filePath(QStringLiteral("hls.html")), "<video src=\"hls.m3u8\"></video>"));
    QVERIFY(run(converter(),
                renditions + words("-f dash -adaptation_sets")
                    + QStringList { QStringLiteral("id=0,streams=v id=1,streams=a"), QStringLiteral("dash.mpd") },
                served.path()));
    server = std::make_unique<LocalHttpServer>(served.path());
}

void tst_Downloader::missingToolReportedOnceAfterConnecting()
{
    QTemporaryDir empty;
    Downloader downloader(empty.path());
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QTRY_COMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::ToolMissing);
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 1);
}

void tst_Downloader::options_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("resolutions");

    QTest::newRow("file served directly") << "clip.mp4"
                                          << "clip" << QStringList { "unknown" };
    QTest::newRow("page with title and video") << "page.html"
                                               << "Café – Live! (1)" << QStringList { "unknown" };
    QTest::newRow("HLS master with two variants") << "master.m3u8"
                                                  << "master" << QStringList { "best", "160x120", "320x240" };
}

void tst_Downloader::options()
{
    QFETCH(QString, path);
    Downloader downloader;
    QVERIFY(readPage(downloader, path));

    const VideoInfo &info = downloader.videoInfo();
    QVERIFY(info.hasTitleAndFormats());
    QTEST(info.title, "title");
    // The real tool prints no duration for these pages.
    QCOMPARE(info.duration, QStringLiteral("0:00"));
    QStringList seen;
    for (const FormatEntry &entry : info.formats) {
        QVERIFY(!entry.id.isEmpty());
        seen << entry.resolution;
    }
    QTEST(seen, "resolutions");
}

void tst_Downloader::secondUrlStartsFromAnEmptyRecord()
{
    Downloader downloader;
    QSignalSpy options(&downloader, &Downloader::haveOptions);
    QVERIFY(setUrl(downloader, url(QStringLiteral("page.html"))));
    downloader.requestOptions();
    QTRY_COMPARE_WITH_TIMEOUT(options.count(), 1, toolWaitMs);

    QVERIFY(setUrl(downloader, url(QStringLiteral("master.m3u8"))));
    downloader.requestOptions();
    const VideoInfo &info = downloader.videoInfo();
    QVERIFY(!info.hasTitleAndFormats());
    QVERIFY(info.title.isEmpty());
    QVERIFY(info.formats.isEmpty());

    QSignalSpy titles(&downloader, &Downloader::haveTitle);
    QTRY_COMPARE_WITH_TIMEOUT(options.count(), 2, toolWaitMs);
    QCOMPARE(titles.count(), 1);
    QCOMPARE(info.title, QStringLiteral("master"));
    QCOMPARE(info.formats.size(), 3);
}

void tst_Downloader::chosenRenditionIsSaved_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("HLS page, sound apart") << QStringLiteral("hls.html");
    QTest::newRow("DASH manifest") << QStringLiteral("dash.mpd");
}

void tst_Downloader::chosenRenditionIsSaved()
{
    QFETCH(QString, path);
    Downloader downloader;
    QVERIFY(readPage(downloader, path));
    const QList<FormatEntry> &formats = downloader.videoInfo().formats;
    // The larger rendition is offered first; the smaller one is chosen.
    QVERIFY(!formats.isEmpty());
    QCOMPARE(formats.constLast().resolution, QStringLiteral("320x240"));
    const auto small = std::find_if(formats.cbegin(), formats.cend(),
                                    [](const FormatEntry &f) { return f.resolution == QLatin1String("160x120"); });
    QVERIFY(small != formats.cend() && small->videoOnly);

    QTemporaryDir out;
    const QString kept = out.filePath(QStringLiteral("Clip.mp4"));
    const QString target = out.filePath(QStringLiteral("Clip.mkv"));
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy files(&downloader, &Downloader::haveFile);
    QSignalSpy done(&downloader, &Downloader::doneExtractAudio);
    downloader.requestFile(formatSelector(*small, false), kept);
    QTRY_COMPARE_WITH_TIMEOUT(files.count() + errors.count(), 1, toolWaitMs);
    QVERIFY2(files.count() == 1, qPrintable(downloader.lastToolMessage()));
    downloader.formatConverting(kept, target, Downloader::FromVideoDownload, UserFileSave::Replace::Agreed);
    QTRY_COMPARE_WITH_TIMEOUT(done.count() + errors.count(), 1, toolWaitMs);
    const MediaProbe saved = probeMedia(target);
    QCOMPARE(saved.resolution, QStringLiteral("160x120"));
    QCOMPARE(saved.streams, (QStringList { QStringLiteral("audio"), QStringLiteral("video") }));
}

void tst_Downloader::certificateFailureInToolWords()
{
    QTemporaryDir tls;
    QVERIFY(run(QStringLiteral("openssl"),
                words("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
                      "-subj /CN=127.0.0.1 -keyout key.pem -out cert.pem"),
                tls.path()));
    QProcess tlsServer;
    tlsServer.setWorkingDirectory(tls.path());
    tlsServer.start(
        QStringLiteral("python3"),
        { QStringLiteral("-c"),
          QStringLiteral("import http.server, ssl\n"
                         "s = http.server.HTTPServer(('127.0.0.1', 0), http.server.SimpleHTTPRequestHandler)\n"
                         "c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
                         "c.load_cert_chain('cert.pem', 'key.pem')\n"
                         "s.socket = c.wrap_socket(s.socket, server_side=True)\n"
                         "print(s.server_address[1], flush=True)\n"
                         "s.serve_forever()\n") });
    QVERIFY(tlsServer.waitForReadyRead(toolWaitMs));
    const QString port = QString::fromLatin1(tlsServer.readLine().trimmed());

    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QVERIFY(setUrl(downloader, QStringLiteral("https://127.0.0.1:%1/page.html").arg(port)));
    downloader.requestOptions();
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, toolWaitMs);
    QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::TitleFailed);
    QVERIFY2(downloader.lastToolMessage().startsWith(QStringLiteral("ERROR:"))
                 && downloader.lastToolMessage().contains(QStringLiteral("CERTIFICATE_VERIFY_FAILED")),
             qPrintable(downloader.lastToolMessage()));
    tlsServer.kill();
    tlsServer.waitForFinished();
}

void tst_Downloader::downloadAndConvert_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<Downloader::FormatConvertingFrom>("mode");
    QTest::addColumn<QStringList>("streams");
    QTest::addColumn<bool>("sourceKept");

    QTest::newRow("mp3") << QStringLiteral("mp3") << Downloader::FromAudioDownload << QStringList { "audio" } << false;
    // Containers that would keep a video track of their own.
    for (const char *audio : { "m4a", "ogg", "wma" }) {
        QTest::newRow(audio) << QString::fromLatin1(audio) << Downloader::FromAudioDownload << QStringList { "audio" }
                             << false;
    }
    QTest::newRow("mkv") << QStringLiteral("mkv") << Downloader::FromVideoDownload << QStringList { "audio", "video" }
                         << true;
    QTest::newRow("mov") << QStringLiteral("mov") << Downloader::FromVideoDownload << QStringList { "audio", "video" }
                         << true;
}

void tst_Downloader::downloadAndConvert()
{
    QFETCH(QString, extension);
    QFETCH(Downloader::FormatConvertingFrom, mode);
    QFETCH(QStringList, streams);
    QFETCH(bool, sourceKept);

    QTemporaryDir out;
    const QString source = QDir::toNativeSeparators(out.filePath(QStringLiteral("My clip.mp4")));
    const QString target = QDir::toNativeSeparators(out.filePath(QStringLiteral("My clip.") + extension));
    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy percents(&downloader, &Downloader::percent);
    QSignalSpy files(&downloader, &Downloader::haveFile);
    QVERIFY(setUrl(downloader, url(QStringLiteral("clip.mp4"))));
    downloader.requestFile(directFile, source);
    QTRY_COMPARE_WITH_TIMEOUT(files.count() + errors.count(), 1, toolWaitMs);
    QCOMPARE(files.count(), 1);
    float highest = 0;
    for (const QList<QVariant> &arguments : percents) {
        highest = qMax(highest, arguments.at(0).toFloat());
    }
    QCOMPARE(highest, 100.0F);

    QSignalSpy done(&downloader, &Downloader::doneExtractAudio);
    QSignalSpy converted(&downloader, &Downloader::converted);
    downloader.formatConverting(source, target, mode, UserFileSave::Replace::Agreed);
    QTRY_COMPARE_WITH_TIMEOUT(done.count() + errors.count(), 1, toolWaitMs);
    QCOMPARE(done.count(), 1);
    // The converter's own figures came along; the last is the whole clip.
    QVERIFY(!converted.isEmpty());
    QVERIFY(qAbs(converted.constLast().constFirst().toDouble() - clipSeconds) <= 0.3);
    QCOMPARE(QFile::exists(source), sourceKept);
    const MediaProbe result = probeMedia(target);
    QCOMPARE(result.streams, streams);
    QVERIFY2(qAbs(result.duration - clipSeconds) <= 0.3, qPrintable(QString::number(result.duration)));
    QVERIFY(downloader.videoInfo().received.contains(RequestConversion));
}

void tst_Downloader::sameExtensionMoves_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("targetFolderIsAFile");
    QTest::addColumn<bool>("moved");

    QTest::newRow("new target") << false << false << true;
    QTest::newRow("existing target replaced") << true << false << true;
    QTest::newRow("move impossible") << false << true << false;
}

void tst_Downloader::sameExtensionMoves()
{
    QFETCH(bool, targetExists);
    QFETCH(bool, targetFolderIsAFile);
    QFETCH(bool, moved);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("a.mp4"));
    QString folder = dir.filePath(QStringLiteral("e"));
    QVERIFY(writeFile(source, "new"));
    if (targetFolderIsAFile) {
        QVERIFY(writeFile(folder, "in the way"));
    } else {
        QVERIFY(QDir().mkpath(folder));
    }
    const QString target = folder + QStringLiteral("/b.mp4");
    if (targetExists) {
        QVERIFY(writeFile(target, "old"));
    }

    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy done(&downloader, &Downloader::doneExtractAudio);
    downloader.formatConverting(source, target, Downloader::FromVideoDownload, UserFileSave::Replace::Agreed);
    QCOMPARE(done.count(), moved ? 1 : 0);
    QCOMPARE(errors.count(), moved ? 0 : 1);
    // The source is not this save's own download: it is copied, never moved.
    QCOMPARE(readFile(source), QByteArray("new"));
    if (moved) {
        QCOMPARE(readFile(target), QByteArray("new"));
    } else {
        QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::FolderNotWritable);
        QCOMPARE(readFile(source), QByteArray("new"));
    }
}

void tst_Downloader::stopDuringSlowDownloadRemovesPart()
{
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("slow.mp4"));
    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy files(&downloader, &Downloader::haveFile);
    QSignalSpy percents(&downloader, &Downloader::percent);
    QVERIFY(setUrl(downloader, url(QStringLiteral("clip.mp4?drip=500"))));
    downloader.requestFile(directFile, file);
    const auto everything
        = [&out] { return QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
    QTRY_VERIFY_WITH_TIMEOUT(!everything().isEmpty() && !percents.isEmpty(), toolWaitMs);
    downloader.stop();
    QCOMPARE(everything(), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(childrenEnded(), toolWaitMs);
    QCoreApplication::processEvents();
    QCOMPARE(everything(), QStringList());
    QCOMPARE(files.count(), 0);
    QCOMPARE(errors.count(), 0);
}

void tst_Downloader::existingFilesStayUntouched_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("saved");

    QTest::newRow("audio beside the user's video of that name") << "Holiday.mp4"
                                                                << "Holiday.mp3" << true;
    QTest::newRow("target exists, not agreed") << "Trailer (1).mp3"
                                               << "Trailer (1).mp3" << false;
}

void tst_Downloader::existingFilesStayUntouched()
{
    QFETCH(QString, existing);
    QFETCH(QString, target);
    QFETCH(bool, saved);

    QTemporaryDir out;
    QVERIFY(writeFile(out.filePath(existing), "mine"));
    const QString kept = out.filePath(QFileInfo(target).completeBaseName() + QStringLiteral(".mp4"));
    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy files(&downloader, &Downloader::haveFile);
    QSignalSpy done(&downloader, &Downloader::doneExtractAudio);
    QVERIFY(setUrl(downloader, url(QStringLiteral("clip.mp4"))));
    downloader.requestFile(directFile, kept);
    QTRY_COMPARE_WITH_TIMEOUT(files.count() + errors.count(), 1, toolWaitMs);
    downloader.formatConverting(kept, out.filePath(target), Downloader::FromAudioDownload,
                                UserFileSave::Replace::Refuse);
    QTRY_COMPARE_WITH_TIMEOUT(done.count() + errors.count(), 1, toolWaitMs);

    QCOMPARE(readFile(out.filePath(existing)), QByteArray("mine"));
    QCOMPARE(done.count(), saved ? 1 : 0);
    if (saved) {
        QVERIFY(qAbs(probeMedia(out.filePath(target)).duration - clipSeconds) <= 0.3);
    } else {
        QVERIFY2(downloader.lastToolMessage().contains(QStringLiteral("already exists")),
                 qPrintable(downloader.lastToolMessage()));
    }
    QCOMPARE(QDir(out.path()).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void tst_Downloader::conversionCutShort_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QStringList>("left");

    QTest::newRow("cancelled: the download is kept") << true << QStringList { "Clip.mp4" };
    QTest::newRow("program closing: nothing is left") << false << QStringList();
}

void tst_Downloader::conversionCutShort()
{
    QFETCH(bool, cancelled);

    // A converter that has begun its output and takes its time.
    QTemporaryDir tools;
    QVERIFY(QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/ytdl"),
                        tools.filePath(QStringLiteral("ytdl"))));
    QVERIFY(writeFile(tools.filePath(QStringLiteral("ffmpeg")),
                      "#!/bin/sh\nfor last; do :; done\necho partial > \"$last\"\nexec sleep 600\n"));
    QVERIFY(QFile::setPermissions(tools.filePath(QStringLiteral("ffmpeg")), QFile::ReadOwner | QFile::ExeOwner));

    QTemporaryDir out;
    const QString kept = out.filePath(QStringLiteral("Clip.mp4"));
    auto downloader = std::make_unique<Downloader>(tools.path());
    QSignalSpy files(downloader.get(), &Downloader::haveFile);
    QVERIFY(setUrl(*downloader, url(QStringLiteral("clip.mp4"))));
    downloader->requestFile(directFile, kept);
    QTRY_COMPARE_WITH_TIMEOUT(files.count(), 1, toolWaitMs);
    downloader->formatConverting(kept, out.filePath(QStringLiteral("Clip.mp3")), Downloader::FromAudioDownload,
                                 UserFileSave::Replace::Refuse);
    QTRY_VERIFY_WITH_TIMEOUT(
        downloader->isBusy()
            && !QDir(out.path())
                    .entryList({ QStringLiteral("*") }, QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot)
                    .isEmpty(),
        toolWaitMs);
    if (cancelled) {
        downloader->stop();
        QCOMPARE(downloader->keptDownload(), kept);
        QVERIFY(QFileInfo(kept).size() > 1000);
    } else {
        downloader.reset();
    }
    QTEST(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), "left");
}

void tst_Downloader::writeFailuresNameTheirCause_data()
{
    QTest::addColumn<QString>("mount");
    QTest::addColumn<bool>("convert");
    QTest::addColumn<Downloader::errors>("cause");

    QTest::newRow("download into a folder that is gone") << QString() << false << Downloader::FolderNotWritable;
    QTest::newRow("download into a read-only folder") << "read-only" << false << Downloader::FolderNotWritable;
    QTest::newRow("download onto a full disk") << "full" << false << Downloader::DiskFull;
    QTest::newRow("conversion onto a full disk") << "full" << true << Downloader::DiskFull;
}

void tst_Downloader::writeFailuresNameTheirCause()
{
    QFETCH(QString, mount);
    QFETCH(bool, convert);
    QFETCH(Downloader::errors, cause);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("target"));
    std::unique_ptr<FullDisk> disk;
    if (!mount.isEmpty()) {
        QVERIFY(QDir().mkpath(folder));
        disk = std::make_unique<FullDisk>(folder, mount == "full" ? FullDisk::Mode::Full : FullDisk::Mode::ReadOnly);
        if (!disk->mounted) {
            QSKIP("mounting a small file system needs root");
        }
    }
    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    if (convert) {
        downloader.formatConverting(served.filePath(QStringLiteral("clip.mp4")), folder + QStringLiteral("/clip.mkv"),
                                    Downloader::FromVideoDownload, UserFileSave::Replace::Refuse);
    } else {
        QVERIFY(setUrl(downloader, url(QStringLiteral("clip.mp4"))));
        downloader.requestFile(directFile, folder + QStringLiteral("/clip.mp4"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, toolWaitMs);
    QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), cause);
    // The writer's own words go under the message.
    QVERIFY(!downloader.lastToolMessage().isEmpty());
}

void tst_Downloader::conversionCopiesWhatTheContainerTakes_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("codecs");
    // MPEG-4 Part 2 and MP3 go into MKV as they are; MP4 does not take FLV video, which becomes H.264 with AAC.
    QTest::newRow("copied into mkv") << "-c:v mpeg4 -c:a mp3 old.avi"
                                     << "old.mkv" << QStringList { "mp3", "mpeg4" };
    QTest::newRow("encoded for mp4") << "-c:v flv1 -c:a mp3 old.flv"
                                     << "old.mp4" << QStringList { "aac", "h264" };
}

void tst_Downloader::conversionCopiesWhatTheContainerTakes()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QTemporaryDir folder;
    QVERIFY(run(converter(),
                words("-v error -f lavfi -i testsrc=duration=1:size=160x120:rate=25 -f lavfi -i sine=duration=1")
                    + source.split(QLatin1Char(' ')),
                folder.path()));
    Downloader downloader;
    QSignalSpy done(&downloader, &Downloader::doneExtractAudio);
    downloader.formatConverting(folder.filePath(source.section(QLatin1Char(' '), -1)), folder.filePath(target),
                                Downloader::FromVideoDownload, UserFileSave::Replace::Refuse);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, toolWaitMs);
    QTEST(probeMedia(folder.filePath(target)).codecs, "codecs");
}

// A page's WebVTT track is listed and, when asked for, kept beside the download.
void tst_Downloader::subtitlesBesideTheDownload()
{
    QTemporaryDir folder;
    Downloader downloader;
    QSignalSpy options(&downloader, &Downloader::haveOptions);
    QSignalSpy files(&downloader, &Downloader::haveFile);
    QVERIFY(setUrl(downloader, url(QStringLiteral("subtitled.html"))));
    downloader.requestOptions();
    QTRY_COMPARE_WITH_TIMEOUT(options.count(), 1, toolWaitMs);
    QCOMPARE(downloader.videoInfo().subtitles, QStringList { QStringLiteral("en") });
    downloader.requestFile(directFile, folder.filePath(QStringLiteral("clip.mp4")), UserFileSave::Replace::Refuse,
                           { QStringLiteral("en") });
    QTRY_COMPARE_WITH_TIMEOUT(files.count(), 1, toolWaitMs);
    QFile track(folder.filePath(QStringLiteral("clip.en.vtt")));
    QVERIFY(track.open(QIODevice::ReadOnly));
    QVERIFY(track.readAll().contains("Hello"));
}

// A site that answers only someone signed in: refused, then fetched with the user's cookies.txt, left as it was.
void tst_Downloader::refusedUntilSignedIn()
{
    QTemporaryDir folder;
    const QString cookies = folder.filePath(QStringLiteral("cookies.txt"));
    const QByteArray jar = "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tcv2signed\n";
    QVERIFY(writeFile(cookies, jar));
    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy options(&downloader, &Downloader::haveOptions);
    QSignalSpy files(&downloader, &Downloader::haveFile);
    QVERIFY(setUrl(downloader, url(QStringLiteral("clip.mp4?cookie=cv2signed"))));
    downloader.requestOptions();
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, toolWaitMs);
    QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::SiteRefused);

    downloader.useCookies({}, cookies, folder.filePath(QStringLiteral("copy.txt")));
    downloader.requestOptions();
    QTRY_COMPARE_WITH_TIMEOUT(options.count(), 1, toolWaitMs);
    downloader.requestFile(directFile, folder.filePath(QStringLiteral("clip.mp4")));
    QTRY_COMPARE_WITH_TIMEOUT(files.count(), 1, toolWaitMs);
    QCOMPARE(errors.count(), 1);
    QFile own(cookies);
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), jar);
}

void tst_Downloader::selfTest_data()
{
    QTest::addColumn<QString>("expectedTitle");
    QTest::addColumn<bool>("passes");

    QTest::newRow("title as expected") << QStringLiteral("clip") << true;
    QTest::newRow("another title") << QStringLiteral("not the clip") << false;
}

void tst_Downloader::selfTest()
{
    QFETCH(QString, expectedTitle);
    QFETCH(bool, passes);

    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy passed(&downloader, &Downloader::testOK);
    downloader.testIt(url(QStringLiteral("clip.mp4")), expectedTitle);
    QTRY_COMPARE_WITH_TIMEOUT(passed.count() + errors.count(), 1, toolWaitMs);
    QCOMPARE(passed.count(), passes ? 1 : 0);
    if (!passes) {
        QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::TestTitleMismatch);
    }
}

void tst_Downloader::toolFailures_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("request");
    QTest::addColumn<Downloader::errors>("error");

    // The other request of the pair answers later, after the failure has been reported.
    const QByteArray fileFails = "echo partial > \"$2/download.mp4.part\"\necho '[download]  50.0%'\nexit 1";
    const QByteArray hangs = "exec sleep 600";
    QTest::newRow("page fails") << QByteArray("exit 1") << true << QStringLiteral("options") << Downloader::TitleFailed;
    QTest::newRow("page needs a sign-in")
        << QByteArray("echo 'ERROR: [site] 7: Sign in to confirm your age. Use --cookies-from-browser or --cookies "
                      "for the authentication.' >&2\nexit 1")
        << true << QStringLiteral("options") << Downloader::LoginNeeded;
    QTest::newRow("answer unreadable") << QByteArray("echo '[info] 1 mp4'") << true << QStringLiteral("options")
                                       << Downloader::FormatsFailed;
    QTest::newRow("file fails") << fileFails << true << QStringLiteral("file") << Downloader::FileFailed;
    QTest::newRow("self-test fails") << QByteArray("exit 1") << true << QStringLiteral("test")
                                     << Downloader::TestRunFailed;
    QTest::newRow("crash") << QByteArray("kill -SEGV $$") << true << QStringLiteral("options")
                           << Downloader::ToolNotStarted;
    QTest::newRow("not executable") << QByteArray("exit 0") << false << QStringLiteral("options")
                                    << Downloader::ToolNotStarted;
    QTest::newRow("options hang") << hangs << true << QStringLiteral("options") << Downloader::TitleFailed;
    QTest::newRow("file hangs") << hangs << true << QStringLiteral("file") << Downloader::FileFailed;
}

void tst_Downloader::toolFailures()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, executable);
    QFETCH(QString, request);
    QFETCH(Downloader::errors, error);

    QTemporaryDir tools;
    QVERIFY(writeFakeTool(tools.path(), script, executable));
    const QString file = tools.filePath(QStringLiteral("out.mp4"));
    Downloader downloader(tools.path());
    downloader.setStallTimeout(1500ms);
    QSignalSpy errors(&downloader, &Downloader::hasError);
    int successes = 0;
    const auto succeeded = [&successes] { ++successes; };
    connect(&downloader, &Downloader::haveTitle, &downloader, succeeded);
    connect(&downloader, &Downloader::haveFormats, &downloader, succeeded);
    connect(&downloader, &Downloader::haveFile, &downloader, succeeded);
    connect(&downloader, &Downloader::testOK, &downloader, succeeded);
    QVERIFY(setUrl(downloader, url(QStringLiteral("clip.mp4"))));
    if (request == QLatin1String("options")) {
        downloader.requestOptions();
    } else if (request == QLatin1String("file")) {
        downloader.requestFile(QStringLiteral("22"), file);
    } else {
        downloader.testIt(url(QStringLiteral("clip.mp4")), QStringLiteral("clip"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), toolWaitMs);
    QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), error);
    // Whatever the other request of the pair does, there is one report and no success.
    QTRY_VERIFY_WITH_TIMEOUT(childrenEnded(), toolWaitMs);
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 1);
    QCOMPARE(successes, 0);
    QCOMPARE(QDir(tools.path()).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void tst_Downloader::update_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("version");

    QTest::newRow("updated") << QByteArray("[ \"$*\" = --update ] || exit 9\necho 'Updated ytdl to 2099.01.02'")
                             << QStringLiteral("2099.01.02");
    QTest::newRow("update fails") << QByteArray("echo 'ERROR: unable to reach the update server'\nexit 100")
                                  << QString();
}

void tst_Downloader::update()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, version);

    // The tool updates itself when no private copy is kept. Never the real tool: it would replace itself.
    QTemporaryDir tools;
    QVERIFY(writeFakeTool(tools.path(), script));
    Downloader downloader(tools.path());
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy updated(&downloader, &Downloader::snifferUpdated);
    downloader.checkUpdates();
    QTRY_COMPARE_WITH_TIMEOUT(updated.count() + errors.count(), 1, toolWaitMs);
    if (version.isEmpty()) {
        QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::UpdateFailed);
    } else {
        QCOMPARE(updated.count(), 1);
        QCOMPARE(versionFromUpdateOutput(downloader.updateText()), version);
    }
}

void tst_Downloader::privateCopy_data()
{
    QTest::addColumn<QByteArray>("published");
    QTest::addColumn<QByteArray>("summed");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QString>("refusal");
    const QByteArray release("release");
    const QByteArray old("#!/bin/sh\necho 2001.01.01\n");
    QTest::newRow("new copy") << release << release << QByteArray() << QString();
    // Fetched, this tool would be refused.
    QTest::newRow("up to date: nothing fetched") << QByteArray("tampered") << release << release << QString();
    QTest::newRow("tampered") << QByteArray("tampered") << release << old << "does not match the SHA-256 sum";
    QTest::newRow("no sum of the tool") << release << QByteArray() << old << "lists no SHA-256 sum";
    QTest::newRow("does not run") << QByteArray("print(") << QByteArray("print(") << old << "does not run";
    QTest::newRow("offline: system's tool")
        << QByteArray("offline") << release << QByteArray() << "could not be fetched";
    QTest::newRow("plain http refused") << QByteArray("http") << release << old << "is not an https address";
}

void tst_Downloader::privateCopy()
{
    QFETCH(QByteArray, published);
    QFETCH(QByteArray, summed);
    QFETCH(QByteArray, old);
    QFETCH(QString, refusal);
    FakeRelease release;
    const auto bytes = [&release](const QByteArray &name) { return name == "release" ? release.tool : name; };
    QVERIFY(release.publish(bytes(published), summed.isEmpty() ? QByteArray() : FakeRelease::sums(bytes(summed))));
    QTemporaryDir data;
    const QString copy = data.filePath(QStringLiteral("tools/yt-dlp"));
    QVERIFY(old.isEmpty()
            || (QDir().mkpath(data.filePath(QStringLiteral("tools"))) && writeFile(copy, bytes(old))
                && QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)));
    Downloader downloader;
    QUrl address(published == "offline" ? unreachableRelease : release.server.url({}));
    address.setScheme(published == "http" ? QStringLiteral("http") : address.scheme());
    downloader.usePrivateCopy(data.path(), address);
    QSignalSpy updated(&downloader, &Downloader::snifferUpdated);
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy kept(&downloader, &Downloader::systemToolKept);
    downloader.checkUpdates();
    QTRY_COMPARE_WITH_TIMEOUT(updated.count() + errors.count() + kept.count(), 1, toolWaitMs);
    if (refusal.isEmpty()) {
        QCOMPARE(downloader.updateText(), QLatin1String(FakeRelease::version));
        QCOMPARE(readFile(copy), release.tool);
        // The driver's requests now run the copy.
        QSignalSpy tested(&downloader, &Downloader::testOK);
        downloader.testIt(QStringLiteral("http://127.0.0.1/"), QLatin1String(FakeRelease::version));
        QVERIFY(tested.wait(toolWaitMs));
        return;
    }
    QVERIFY2(downloader.lastToolMessage().contains(refusal), qPrintable(downloader.lastToolMessage()));
    // The old copy, or none, and nothing left behind; without a copy the system's tool is named.
    QCOMPARE(readFile(copy), old);
    QCOMPARE(
        QDir(data.filePath(QStringLiteral("tools"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        old.isEmpty() ? QStringList() : QStringList { QStringLiteral("yt-dlp") });
    QCOMPARE(kept.count() == 1 && !downloader.systemToolVersion().isEmpty(), old.isEmpty());
}

void tst_Downloader::newerRequestWins()
{
    QTemporaryDir tools;
    // Answers only an address given after "--", where it can never pass for an option.
    QVERIFY(writeFakeTool(tools.path(),
                          "case \"$*\" in *'-- http://127.0.0.1/slow') sleep 2; echo '{\"title\": \"Old\"}';;\n"
                          "*'-- http://127.0.0.1/fast') echo '{\"title\": \"New\"}';; esac"));
    Downloader downloader(tools.path());
    QSignalSpy titles(&downloader, &Downloader::haveTitle);
    QVERIFY(setUrl(downloader, QStringLiteral("http://127.0.0.1/slow")));
    downloader.requestPage();
    QVERIFY(setUrl(downloader, QStringLiteral("http://127.0.0.1/fast")));
    downloader.requestPage();
    QTRY_COMPARE_WITH_TIMEOUT(titles.count(), 1, toolWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(childrenEnded(), toolWaitMs);
    QCoreApplication::processEvents();
    QCOMPARE(titles.count(), 1);
    QCOMPARE(downloader.videoInfo().title, QStringLiteral("New"));
}

// A small fetch gives up an answer past its limit, and a server that stops answering, each with its message.
void tst_Downloader::boundedFetchGivesUp_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");
    QTest::newRow("larger than the limit") << QStringLiteral("big.bin") << QStringLiteral("sent more than 1000 bytes");
    QTest::newRow("server stalls") << QStringLiteral("big.bin?stall") << QStringLiteral("could not be fetched");
}

void tst_Downloader::boundedFetchGivesUp()
{
    QFETCH(QString, path);
    QFETCH(QString, error);
    QVERIFY(writeFile(served.filePath(QStringLiteral("big.bin")), QByteArray(5000, 'x')));
    BoundedFetch fetch(1000);
    std::optional<BoundedFetch::Answer> answer;
    connect(&fetch, &BoundedFetch::finished, this, [&answer](const BoundedFetch::Answer &got) { answer = got; });
    fetch.get(QUrl(server->url(path)), std::chrono::milliseconds(300));
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), toolWaitMs);
    QVERIFY2(answer->error.contains(error), qPrintable(answer->error));
    QVERIFY(answer->body.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Downloader)
#include "tst_Downloader.moc"
