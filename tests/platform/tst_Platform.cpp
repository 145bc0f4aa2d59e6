#include "Platform.h"
#include "TempHome.h"

#include <QStandardPaths>
#include <QTest>

using Platform::Os;
using Platform::Tool;

class tst_Platform final : public QObject
{
    Q_OBJECT

private slots:
    void dataFolderRoot_data();
    void dataFolderRoot();
    void dataFolderRootFromEnvironment();
    void executableName_data();
    void executableName();
    void notAnOldWindowsHere();
};

void tst_Platform::dataFolderRoot_data()
{
    QTest::addColumn<QString>("appData");
    QTest::addColumn<QString>("expected");
    QTest::newRow("set") << QStringLiteral("C:/Users/ann/AppData/Roaming")
                         << QStringLiteral("C:/Users/ann/AppData/Roaming");
    QTest::newRow("empty falls back, never the root") << QString() << QStringLiteral("/home/ann/.local/share");
}

void tst_Platform::dataFolderRoot()
{
    QFETCH(QString, appData);
    QFETCH(QString, expected);
    QCOMPARE(Platform::dataFolderRoot(appData, QStringLiteral("/home/ann/.local/share")), expected);
}

void tst_Platform::dataFolderRootFromEnvironment()
{
    TempHome home;
    QCOMPARE(Platform::dataFolderRoot(), home.appData());
    qputenv("APPDATA", "");
    QCOMPARE(Platform::dataFolderRoot(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QVERIFY(Platform::dataFolderRoot().startsWith(home.path()));
}

void tst_Platform::executableName_data()
{
    QTest::addColumn<Tool>("tool");
    QTest::addColumn<Os>("os");
    QTest::addColumn<bool>("old");
    QTest::addColumn<QString>("expected");
    QTest::newRow("site tool, Windows") << Tool::SiteDownloader << Os::Windows << false << QStringLiteral("ytdl.exe");
    QTest::newRow("converter, Windows") << Tool::Converter << Os::Windows << false << QStringLiteral("ffmpeg.exe");
    QTest::newRow("converter, old Windows") << Tool::Converter << Os::Windows << true << QStringLiteral("ffmpeg32.exe");
    QTest::newRow("player, old Windows") << Tool::Player << Os::Windows << true << QStringLiteral("ffplay.exe");
    QTest::newRow("site tool, here") << Tool::SiteDownloader << Os::Unix << false << QStringLiteral("ytdl");
    QTest::newRow("converter, here") << Tool::Converter << Os::Unix << true << QStringLiteral("ffmpeg");
    QTest::newRow("player, here") << Tool::Player << Os::Unix << false << QStringLiteral("ffplay");
}

void tst_Platform::executableName()
{
    QFETCH(Tool, tool);
    QFETCH(Os, os);
    QFETCH(bool, old);
    QFETCH(QString, expected);
    QCOMPARE(Platform::executableName(tool, os, old), expected);
}

void tst_Platform::notAnOldWindowsHere()
{
    QVERIFY(!Platform::isOlderThanNt52());
}

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_Platform.moc"
