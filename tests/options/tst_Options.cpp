#include "Options.h"
#include "TempHome.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using Rk::Options;

class tst_Options final : public QObject
{
    Q_OBJECT

private slots:
    void recentFilesAreMostRecentFirstAndAtMostTen();
    void folderKinds();
    void onlyTheTempFolderIsAnnounced();
    void noFileMeansNothingWritten();
    void existingFileRoundTrips();
    void garbageFileFallsBackToDefaults();
    void assignmentCopiesEveryOption();
    void readingCreatesNoFolder_data();
    void readingCreatesNoFolder();
    void sharedInstanceCreatesNoFolderUntilAsked();
    void folderIsCreatedForWriting_data();
    void folderIsCreatedForWriting();
};

namespace {

// Every folder below root, to see that reading options leaves the disk as it was.
QStringList foldersBelow(const QString &root)
{
    QStringList folders;
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        folders.append(it.next());
    }
    folders.sort();
    return folders;
}

} // namespace

void tst_Options::recentFilesAreMostRecentFirstAndAtMostTen()
{
    TempHome home;
    Options options(home.path());
    for (int i = 1; i <= 11; ++i) {
        options.addLastOpenedFile(QStringLiteral("f%1").arg(i));
    }
    QStringList expected;
    for (int i = 11; i >= 2; --i) {
        expected.append(QStringLiteral("f%1").arg(i));
    }
    QCOMPARE(options.lastOpenedFiles(), expected);

    options.addLastOpenedFile(QStringLiteral("f5"));
    QCOMPARE(options.lastOpenedFiles().size(), 10);
    QCOMPARE(options.lastOpenedFiles().first(), QStringLiteral("f5"));
    QCOMPARE(options.lastOpenedFiles().count(QStringLiteral("f5")), 1);
}

void tst_Options::folderKinds()
{
    TempHome home;
    Options options(home.path());
    const QString folder = home.path() + QStringLiteral("/deep/sniffed");

    options.setLastFolder(Options::Sniffer, home.path() + QStringLiteral("/last"));
    QCOMPARE(options.lastFolder(Options::Sniffer), QDir::toNativeSeparators(home.path() + QStringLiteral("/last")));
    options.setFolderPath(Options::Sniffer, folder);
    QCOMPARE(options.folderPath(Options::Sniffer), QDir::toNativeSeparators(folder));
    QVERIFY(options.lastFolder(Options::Sniffer).isEmpty());

    options.setFolderPath(7, folder);
    options.setLastFolder(-1, folder);
    QVERIFY(options.folderPath(7).isEmpty());
    QVERIFY(options.lastFolder(7).isEmpty());
    QVERIFY(options.folderPath(-1).isEmpty());
}

void tst_Options::onlyTheTempFolderIsAnnounced()
{
    TempHome home;
    Options options(home.path());
    QSignalSpy spy(&options, &Options::tempFolderChanged);

    options.setFolderPath(Options::Export, home.path() + QStringLiteral("/export"));
    QCOMPARE(spy.count(), 0);
    options.setFolderPath(Options::Temp, home.path() + QStringLiteral("/tmp"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QDir::toNativeSeparators(home.path() + QStringLiteral("/tmp")));

    options.loadOptions(false);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QDir::toNativeSeparators(home.path() + QStringLiteral("/Temp")));
}

void tst_Options::noFileMeansNothingWritten()
{
    TempHome home;
    QString path;
    {
        Options options(home.path());
        path = options.filePath();
        options.loadOptions(true);
        QCOMPARE(options.sizeCustom(), QSize(640, 360));
        QCOMPARE(options.defaultAspectRatio(), 2);
        options.setAlwaysOnTop(true);
    }
    QVERIFY(!QFile::exists(path));
}

void tst_Options::existingFileRoundTrips()
{
    TempHome home;
    const QString path = home.path() + QStringLiteral("/Rk.Options.ini");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    {
        Options options(home.path());
        options.loadOptions(true);
        options.setAlwaysOnTop(true);
        options.setDefaultAspectRatio(4);
        options.setSizeRecent(QSize(1280, 720));
        options.addLastOpenedFile(QStringLiteral("a.mp4"));
        options.addLastOpenedFile(QStringLiteral("b.mp4"));
        options.setFolderPath(Options::Sniffer, home.path() + QStringLiteral("/mine"));
    }
    QSettings raw(path, QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("AlwaysOnTop/_type_")).toInt(), int(QMetaType::Bool));
    QCOMPARE(raw.value(QStringLiteral("SizeRecent/_type_")).toInt(), int(QMetaType::QSize));

    Options reread(home.path());
    reread.loadOptions(true);
    QVERIFY(reread.alwaysOnTop());
    QCOMPARE(reread.defaultAspectRatio(), 4);
    QCOMPARE(reread.sizeRecent(), QSize(1280, 720));
    QCOMPARE(reread.sizeCustom(), QSize(640, 360));
    QCOMPARE(reread.lastOpenedFiles(), QStringList({ QStringLiteral("b.mp4"), QStringLiteral("a.mp4") }));
    QCOMPARE(reread.folderPath(Options::Sniffer), QDir::toNativeSeparators(home.path() + QStringLiteral("/mine")));
    QCOMPARE(reread.folderPath(Options::Cache), QDir::toNativeSeparators(home.path() + QStringLiteral("/Cache")));
}

void tst_Options::garbageFileFallsBackToDefaults()
{
    TempHome home;
    {
        QFile file(home.path() + QStringLiteral("/Rk.Options.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "[SizeCustom]\n_type_=banana\n_value_=@Size(oops\n[DefaultAspectRatio]\n_value_=many\n\x01\x02\xff\n");
    }
    Options options(home.path());
    options.loadOptions(true);
    QCOMPARE(options.sizeCustom(), QSize(640, 360));
    QCOMPARE(options.defaultAspectRatio(), 2);
    QVERIFY(!options.alwaysOnTop());
}

void tst_Options::assignmentCopiesEveryOption()
{
    TempHome home;
    Options source(home.path());
    source.loadOptions(false);
    source.setClearCache(true);
    source.setSizeCustom(QSize(10, 20));
    source.addLastOpenedFile(QStringLiteral("x"));
    source.setLastFolder(Options::Ripping, home.path());

    Options copy(home.path() + QStringLiteral("/other"));
    QSignalSpy spy(&copy, &Options::tempFolderChanged);
    copy = source;
    QVERIFY(copy.clearCache());
    QCOMPARE(copy.sizeCustom(), QSize(10, 20));
    QCOMPARE(copy.lastOpenedFiles(), QStringList { QStringLiteral("x") });
    QCOMPARE(copy.folderPath(Options::Temp), source.folderPath(Options::Temp));
    QCOMPARE(copy.lastFolder(Options::Ripping), source.lastFolder(Options::Ripping));
    QCOMPARE(spy.count(), 1);
}

void tst_Options::readingCreatesNoFolder_data()
{
    QTest::addColumn<bool>("fromFile");
    QTest::newRow("defaults") << false;
    QTest::newRow("folders stored in the file") << true;
}

void tst_Options::readingCreatesNoFolder()
{
    QFETCH(bool, fromFile);
    TempHome home;
    const QString base = home.path() + QStringLiteral("/base");
    QVERIFY(QDir().mkpath(base));
    if (fromFile) {
        QSettings file(base + QStringLiteral("/Rk.Options.ini"), QSettings::IniFormat);
        for (const QString &key : { QStringLiteral("TempFolderPath"), QStringLiteral("SnifferFolderPath"),
                                    QStringLiteral("CacheFolderPath") }) {
            file.setValue(key + QStringLiteral("/_type_"), int(QMetaType::QString));
            file.setValue(key + QStringLiteral("/_value_"), home.path() + QStringLiteral("/stored/") + key);
        }
    }
    const QStringList before = foldersBelow(home.path());

    Options options(base);
    options.loadOptions(fromFile);
    Options copy(home.path() + QStringLiteral("/copy"));
    copy = options;
    for (int kind = Options::Temp; kind <= Options::Cache; ++kind) {
        QVERIFY(!options.folderPath(kind).isEmpty());
        QCOMPARE(copy.folderPath(kind), options.folderPath(kind));
    }
    QCOMPARE(foldersBelow(home.path()), before);
}

void tst_Options::sharedInstanceCreatesNoFolderUntilAsked()
{
    TempHome home;
    const QStringList before = foldersBelow(home.path());
    const Options &shared = Options::instance();
    const QString base = QDir::toNativeSeparators(home.path() + QStringLiteral("/Corvane 2"));
    QCOMPARE(shared.folderPath(Options::Sniffer), base + QDir::separator() + QStringLiteral("Sniffer"));
    QVERIFY(!shared.alwaysOnTop());
    QCOMPARE(foldersBelow(home.path()), before);

    QCOMPARE(shared.createdFolderPath(Options::Sniffer), shared.folderPath(Options::Sniffer));
    QVERIFY(QDir(shared.folderPath(Options::Sniffer)).exists());
    QVERIFY(!QDir(shared.folderPath(Options::Temp)).exists());
}

void tst_Options::folderIsCreatedForWriting_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default under a missing base") << int(Options::Export) << QString() << QStringLiteral("base/Export");
    QTest::newRow("configured, several levels deep")
        << int(Options::Ripping) << QStringLiteral("a/b/rip") << QStringLiteral("a/b/rip");
    QTest::newRow("kind outside the range") << 7 << QStringLiteral("a/b/rip") << QString();
}

void tst_Options::folderIsCreatedForWriting()
{
    QFETCH(int, kind);
    QFETCH(QString, configured);
    QFETCH(QString, expected);
    TempHome home;
    Options options(home.path() + QStringLiteral("/base"));
    options.loadOptions(false);
    if (!configured.isEmpty()) {
        options.setFolderPath(kind, home.path() + QLatin1Char('/') + configured);
    }
    const QStringList before = foldersBelow(home.path());

    const QString path = options.createdFolderPath(kind);
    if (expected.isEmpty()) {
        QVERIFY(path.isEmpty());
        QCOMPARE(foldersBelow(home.path()), before);
    } else {
        QCOMPARE(path, QDir::toNativeSeparators(home.path() + QLatin1Char('/') + expected));
        QVERIFY(QDir(path).exists());
    }
}

QTEST_GUILESS_MAIN(tst_Options)
#include "tst_Options.moc"
