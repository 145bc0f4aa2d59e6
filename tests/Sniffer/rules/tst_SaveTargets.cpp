#include "SaveTargets.h"

#include <QDir>
#include <QTest>

using namespace SaveTargets;

class tst_SaveTargets final : public QObject
{
    Q_OBJECT

private slots:
    void offeredContainers_data();
    void offeredContainers();
    void extension_data();
    void extension();
    void chosenTarget_data();
    void chosenTarget();
    void dialogStartFolder_data();
    void dialogStartFolder();
    void folderCandidates_data();
    void folderCandidates();
};

void tst_SaveTargets::offeredContainers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("video download") << VideoKind << false << 6 << "MPEG-4 (*.mp4)"
                                    << "Windows Media (*.wmv)";
    QTest::newRow("video recording") << VideoKind << true << 7 << "MPEG (*.mpg)"
                                     << "Windows Media (*.wmv)";
    QTest::newRow("audio download") << AudioKind << false << 7 << "MP3 (*.mp3)"
                                    << "OGG (*.ogg)";
    QTest::newRow("audio recording") << AudioKind << true << 8 << "Waveform Audio (*.wav)"
                                     << "OGG (*.ogg)";
    QTest::newRow("no kind") << 0 << false << 0 << QString() << QString();
    QTest::newRow("no kind, recording") << 3 << true << 0 << QString() << QString();
}

void tst_SaveTargets::offeredContainers()
{
    QFETCH(int, kind);
    QFETCH(bool, recording);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const QStringList offered = filters(kind, recording);
    QCOMPARE(offered.size(), count);
    QCOMPARE(offered.value(0), first);
    QCOMPARE(offered.value(count - 1), last);
    // Every offered container yields an extension the converter can be given.
    for (const QString &filter : offered) {
        QVERIFY2(!extensionFromFilter(filter).isEmpty(), qPrintable(filter));
    }
}

void tst_SaveTargets::extension_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("extension");
    QTest::newRow("mp3") << "MP3 (*.mp3)"
                         << "mp3";
    QTest::newRow("four letters") << "Audio Interchange (*.aiff)"
                                  << "aiff";
    QTest::newRow("dash in name") << "MPEG-4 (*.m4v)"
                                  << "m4v";
    QTest::newRow("no pattern") << "All files" << QString();
    QTest::newRow("empty") << QString() << QString();
}

void tst_SaveTargets::extension()
{
    QFETCH(QString, filter);
    QFETCH(QString, extension);
    QCOMPARE(extensionFromFilter(filter), extension);
}

void tst_SaveTargets::chosenTarget_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("extension");
    const QString mp4 = QStringLiteral("MPEG-4 (*.mp4)");
    QTest::newRow("plain name") << QStringList { "/v/clip" } << mp4 << "/v/clip.mp4"
                                << "/v"
                                << "clip"
                                << "mp4";
    QTest::newRow("extension already added") << QStringList { "/v/clip.mp4" } << mp4 << "/v/clip.mp4"
                                             << "/v"
                                             << "clip"
                                             << "mp4";
    QTest::newRow("extension in capitals") << QStringList { "/v/clip.MP4" } << mp4 << "/v/clip.MP4"
                                           << "/v"
                                           << "clip"
                                           << "mp4";
    QTest::newRow("other extension kept") << QStringList { "/v/clip.v1" } << mp4 << "/v/clip.v1.mp4"
                                          << "/v"
                                          << "clip.v1"
                                          << "mp4";
    QTest::newRow("white space trimmed") << QStringList { " /v/my clip \n" } << "MP3 (*.mp3)"
                                         << "/v/my clip.mp3"
                                         << "/v"
                                         << "my clip"
                                         << "mp3";
    QTest::newRow("nothing selected") << QStringList() << mp4 << "/d/title.mp4"
                                      << "/d"
                                      << "title"
                                      << "mp4";
    QTest::newRow("no filter") << QStringList { "/v/clip" } << QString() << "/v/clip"
                               << "/v"
                               << "clip" << QString();
}

void tst_SaveTargets::chosenTarget()
{
    QFETCH(QStringList, selected);
    QFETCH(QString, filter);
    const Target target = chooseTarget(selected, QStringLiteral("/d/"), QStringLiteral("title "), filter);
    QTEST(target.path, "path");
    QTEST(target.folder, "folder");
    QTEST(target.baseName, "baseName");
    QTEST(target.extension, "extension");
}

void tst_SaveTargets::dialogStartFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    const QString sep = QDir::separator();
    QTest::newRow("given") << "/media/video" << QDir::toNativeSeparators("/media/video") + sep;
    QTest::newRow("separator already there") << "/media/video/" << QDir::toNativeSeparators("/media/video/");
    QTest::newRow("empty falls back to documents") << QString() << QDir::toNativeSeparators("/home/u/Documents") + sep;
}

void tst_SaveTargets::dialogStartFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(dialogFolder(folder, QStringLiteral("/home/u/Documents")), expected);
}

void tst_SaveTargets::folderCandidates_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("own folder") << "/media/video"
                                << QStringList { "/media/video", "/docs", "/music", "/movies", "/desk" };
    QTest::newRow("desktop") << "/desk" << QStringList { "/desk", "/docs", "/music", "/movies" };
    QTest::newRow("desktop with separator") << "/desk/" << QStringList { "/desk/", "/docs", "/music", "/movies" };
    QTest::newRow("duplicates kept") << "/docs" << QStringList { "/docs", "/docs", "/music", "/movies", "/desk" };
}

void tst_SaveTargets::folderCandidates()
{
    QFETCH(QString, value);
    QFETCH(QStringList, expected);
    QCOMPARE(candidateFolders(value, QStringLiteral("/docs"), QStringLiteral("/music"), QStringLiteral("/movies"),
                              QStringLiteral("/desk")),
             expected);
}

QTEST_GUILESS_MAIN(tst_SaveTargets)
#include "tst_SaveTargets.moc"
