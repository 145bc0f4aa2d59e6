#include "Downloader.h"
#include "Files.h"
#include "LocalHttpServer.h"
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

using namespace std::chrono_literals;

namespace {

constexpr int toolWaitMs = 60000;
constexpr double clipSeconds = 5.0;

bool runTool(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(toolWaitMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return false;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return true;
}

QString converter()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
}

struct Probe
{
    QStringList streams;
    double duration = 0;
};

Probe probe(const QString &file)
{
    QByteArray output;
    runTool(QStandardPaths::findExecutable(QStringLiteral("ffprobe")),
            { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
              QStringLiteral("stream=codec_type:format=duration"), QStringLiteral("-of"),
              QStringLiteral("default=nw=1"), file },
            &output);
    Probe result;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("codec_type=")) {
            result.streams << QString::fromLatin1(line.mid(11));
        } else if (line.startsWith("duration=")) {
            result.duration = line.mid(9).toDouble();
        }
    }
    result.streams.sort();
    return result;
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
    void downloadAndConvert_data();
    void downloadAndConvert();
    void sameExtensionMoves_data();
    void sameExtensionMoves();
    void stopDuringSlowDownloadRemovesPart();
    void existingFilesStayUntouched_data();
    void existingFilesStayUntouched();
    void conversionCutShort_data();
    void conversionCutShort();
    void selfTest_data();
    void selfTest();
    void toolFailures_data();
    void toolFailures();
    void update_data();
    void update();
    void privateCopy_data();
    void privateCopy();
    void newerRequestWins();

private:
    QString url(const QString &path) const { return server->url(path); }
    static bool setUrl(Downloader &downloader, const QString &address);

    QTemporaryDir served;
    std::unique_ptr<LocalHttpServer> server;
};

bool tst_Downloader::setUrl(Downloader &downloader, const QString &address)
{
    const QUrl url(address);
    return downloader.setUrl(&url);
}

void tst_Downloader::initTestCase()
{
    QVERIFY(served.isValid());
    QVERIFY(QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/ytdl")).isExecutable());
    QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty());
    const auto words = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    const QString clip = served.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(runTool(converter(),
                    words("-v error -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t")
                        + QStringList { QString::number(clipSeconds) } + words("-pix_fmt yuv420p -movflags +faststart")
                        + QStringList { clip }));
    // Distinct bandwidths give the two variants distinct numeric codes.
    QVERIFY(
        runTool(converter(),
                QStringList { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), clip }
                    + words("-filter_complex [0:v]split=2[a][b];[a]scale=160:120[v0];[b]scale=320:240[v1] "
                            "-map [v0] -map 0:a -map [v1] -map 0:a -b:v:0 240k -b:v:1 500k "
                            "-f hls -hls_playlist_type vod -master_pl_name master.m3u8 -var_stream_map")
                    + QStringList { QStringLiteral("v:0,a:0 v:1,a:1"), served.filePath(QStringLiteral("v%v.m3u8")) }));
    QVERIFY(writeFile(served.filePath(QStringLiteral("page.html")),
                      "<html><head><title>Caf\xC3\xA9 \xE2\x80\x93 Live!</title></head>"
                      "<body><video src=\"clip.mp4\"></video></body></html>"));
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
    QTest::addColumn<bool>("numericCodes");

    QTest::newRow("file served directly")
        << QStringLiteral("clip.mp4") << QStringLiteral("clip") << QStringList { "unknown" } << false;
    QTest::newRow("page with title and video")
        << QStringLiteral("page.html") << QStringLiteral("Caf Live (1)") << QStringList { "unknown" } << false;
    QTest::newRow("HLS master with two variants")
        << QStringLiteral("master.m3u8") << QStringLiteral("master") << QStringList { "160x120", "320x240" } << true;
}

void tst_Downloader::options()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(QStringList, resolutions);
    QFETCH(bool, numericCodes);

    Downloader downloader;
    QSignalSpy errors(&downloader, &Downloader::hasError);
    QSignalSpy options(&downloader, &Downloader::haveOptions);
    QVERIFY(setUrl(downloader, url(path)));
    downloader.requestOptions();
    QTRY_COMPARE_WITH_TIMEOUT(options.count(), 1, toolWaitMs);

    const VideoInfo &info = downloader.videoInfo();
    QVERIFY(info.hasTitleAndFormats());
    QCOMPARE(info.title, title);
    // The real tool prints no duration for these pages.
    QCOMPARE(info.duration, QStringLiteral("0:00"));
    QStringList seen;
    for (const FormatEntry &entry : info.formats) {
        QCOMPARE(entry.code > 0, numericCodes);
        QCOMPARE(entry.extension, QStringLiteral("mp4"));
        seen << entry.resolution;
    }
    seen.sort();
    QCOMPARE(seen, resolutions);
    QCOMPARE(errors.count(), 0);
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
    QCOMPARE(info.formats.size(), 2);
    QVERIFY(!info.formats.contains(0));
}

void tst_Downloader::downloadAndConvert_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<Downloader::FormatConvertingFrom>("mode");
    QTest::addColumn<QStringList>("streams");
    QTest::addColumn<bool>("sourceKept");

    QTest::newRow("mp3") << QStringLiteral("mp3") << Downloader::FromAudioDownload << QStringList { "audio" } << false;
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
    downloader.requestFile(0, source);
    QTRY_COMPARE_WITH_TIMEOUT(files.count() + errors.count(), 1, toolWaitMs);
    QCOMPARE(files.count(), 1);
    float highest = 0;
    for (const QList<QVariant> &arguments : percents) {
        highest = qMax(highest, arguments.at(0).toFloat());
    }
    QCOMPARE(highest, 100.0F);

    QSignalSpy done(&downloader, &Downloader::doneExtractAudio);
    downloader.formatConverting(source, target, mode, UserFileSave::Replace::Agreed);
    QTRY_COMPARE_WITH_TIMEOUT(done.count() + errors.count(), 1, toolWaitMs);
    QCOMPARE(done.count(), 1);
    QCOMPARE(QFile::exists(source), sourceKept);
    const Probe result = probe(target);
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
        QCOMPARE(errors.at(0).at(0).value<Downloader::errors>(), Downloader::ConversionFailed);
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
    downloader.requestFile(0, file);
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
    downloader.requestFile(0, kept);
    QTRY_COMPARE_WITH_TIMEOUT(files.count() + errors.count(), 1, toolWaitMs);
    downloader.formatConverting(kept, out.filePath(target), Downloader::FromAudioDownload,
                                UserFileSave::Replace::Refuse);
    QTRY_COMPARE_WITH_TIMEOUT(done.count() + errors.count(), 1, toolWaitMs);

    QCOMPARE(readFile(out.filePath(existing)), QByteArray("mine"));
    QCOMPARE(done.count(), saved ? 1 : 0);
    if (saved) {
        QVERIFY(qAbs(probe(out.filePath(target)).duration - clipSeconds) <= 0.3);
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
    downloader->requestFile(0, kept);
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
    const QByteArray formatsFail = "case \"$*\" in *--list-formats*) exit 2;; esac\nsleep 1\necho Title";
    const QByteArray titleFails = "case \"$*\" in *--get-title*) exit 1;; esac\nsleep 1\necho '1 mp4 1x1 (best)'";
    const QByteArray fileFails = "echo partial > \"$4/download.mp4.part\"\necho '[download]  50.0%'\nexit 1";
    const QByteArray hangs = "exec sleep 600";
    QTest::newRow("title fails") << titleFails << true << QStringLiteral("options") << Downloader::TitleFailed;
    QTest::newRow("formats fail") << formatsFail << true << QStringLiteral("options") << Downloader::FormatsFailed;
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
        downloader.requestFile(22, file);
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
    downloader.usePrivateCopy(data.path(), QUrl(published == "offline" ? unreachableRelease : release.server.url({})));
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
    QVERIFY(writeFakeTool(tools.path(), "case \"$*\" in *slow*) sleep 2; echo Old;; *) echo New;; esac"));
    Downloader downloader(tools.path());
    QSignalSpy titles(&downloader, &Downloader::haveTitle);
    QVERIFY(setUrl(downloader, QStringLiteral("http://127.0.0.1/slow")));
    downloader.requestTitle();
    QVERIFY(setUrl(downloader, QStringLiteral("http://127.0.0.1/fast")));
    downloader.requestTitle();
    QTRY_COMPARE_WITH_TIMEOUT(titles.count(), 1, toolWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(childrenEnded(), toolWaitMs);
    QCoreApplication::processEvents();
    QCOMPARE(titles.count(), 1);
    QCOMPARE(downloader.videoInfo().title, QStringLiteral("New"));
}

QTEST_GUILESS_MAIN(tst_Downloader)
#include "tst_Downloader.moc"
