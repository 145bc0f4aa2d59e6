#include "ExternalTools.h"
#include "LocalHttpServer.h"
#include "TempHome.h"
#include "ToolProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using Platform::Os;
using Platform::Tool;

class tst_ExternalTools final : public QObject
{
    Q_OBJECT

private slots:
    void pathsOnBothPlatforms_data();
    void pathsOnBothPlatforms();
    void toolsAreFoundBesideTheExecutable();
    void argumentsReachTheToolLiterally();
    void siteToolAnswersInJson();
    void missingToolNeverStarts();
};

void tst_ExternalTools::pathsOnBothPlatforms_data()
{
    QTest::addColumn<Tool>("tool");
    QTest::addColumn<Os>("os");
    QTest::addColumn<bool>("old");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Windows site tool") << Tool::SiteDownloader << Os::Windows << false
                                       << QStringLiteral("C:/Program Files/Corvane 2")
                                       << QDir::toNativeSeparators(
                                              QStringLiteral("C:/Program Files/Corvane 2/ytdl.exe"));
    QTest::newRow("old Windows converter") << Tool::Converter << Os::Windows << true << QStringLiteral("C:/C2")
                                           << QDir::toNativeSeparators(QStringLiteral("C:/C2/ffmpeg32.exe"));
    QTest::newRow("Windows player") << Tool::Player << Os::Windows << false << QStringLiteral("C:/C2")
                                    << QDir::toNativeSeparators(QStringLiteral("C:/C2/ffplay.exe"));
    QTest::newRow("converter here") << Tool::Converter << Os::Unix << false << QStringLiteral("/opt/corvane 2")
                                    << QDir::toNativeSeparators(QStringLiteral("/opt/corvane 2/ffmpeg"));
}

void tst_ExternalTools::pathsOnBothPlatforms()
{
    QFETCH(Tool, tool);
    QFETCH(Os, os);
    QFETCH(bool, old);
    QFETCH(QString, dir);
    QFETCH(QString, expected);
    QCOMPARE(ExternalTools::path(tool, dir, os, old), expected);
}

void tst_ExternalTools::toolsAreFoundBesideTheExecutable()
{
    for (const Tool tool : { Tool::SiteDownloader, Tool::Converter, Tool::Player }) {
        QVERIFY(ExternalTools::exists(tool));
        QCOMPARE(QFileInfo(ExternalTools::path(tool)).absolutePath(), QCoreApplication::applicationDirPath());
    }
}

void tst_ExternalTools::argumentsReachTheToolLiterally()
{
    TempHome home;
    const QString hostile = home.path() + QStringLiteral("/clip; touch pwned $(touch pwned2).mp4");
    ToolProcess tool;
    QSignalSpy ended(&tool, &ToolProcess::ended);
    tool.start(ExternalTools::path(Tool::Converter), { QStringLiteral("-hide_banner"), QStringLiteral("-i"), hostile });
    QVERIFY(ended.wait(20000));
    QVERIFY(ended.constFirst().at(1).toInt() != 0);
    QVERIFY2(tool.errorTail().contains(QFile::encodeName(hostile)), "the converter saw another file name");
    QVERIFY(!QFile::exists(home.path() + QStringLiteral("/pwned")));
    QVERIFY(!QFile::exists(home.path() + QStringLiteral("/pwned2")));
}

void tst_ExternalTools::siteToolAnswersInJson()
{
    TempHome home;
    const QString clip = home.path() + QStringLiteral("/clip.mp4");
    QProcess make;
    make.start(ExternalTools::path(Tool::Converter),
               { QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                 QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                 QStringLiteral("testsrc=size=160x120:rate=10:duration=1"), QStringLiteral("-movflags"),
                 QStringLiteral("+faststart"), clip });
    QVERIFY(make.waitForFinished(30000));
    QCOMPARE(make.exitCode(), 0);

    const LocalHttpServer server(home.path());
    ToolProcess tool;
    QSignalSpy ended(&tool, &ToolProcess::ended);
    tool.start(ExternalTools::path(Tool::SiteDownloader),
               { QStringLiteral("--dump-single-json"), server.url(QStringLiteral("clip.mp4")) });
    QVERIFY(ended.wait(60000));
    const QString output = QString::fromLatin1(tool.readOutput());
    QVERIFY2(output.contains(QStringLiteral("\"format_id\": \"mp4\"")), qPrintable(output));
}

void tst_ExternalTools::missingToolNeverStarts()
{
    QProcess process;
    process.start(ExternalTools::path(Tool::SiteDownloader, QStringLiteral("/nonexistent"), Os::Unix, false), {});
    QVERIFY(!process.waitForStarted(5000));
    QCOMPARE(process.error(), QProcess::FailedToStart);
}

QTEST_GUILESS_MAIN(tst_ExternalTools)
#include "tst_ExternalTools.moc"
