#include "Files.h"
#include "Log.h"
#include "TempHome.h"
#include "ToolRelease.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <functional>

// Starts the built program as a newcomer would: from a folder holding the executable and the settings
// template, with a fresh home.
class tst_Startup final : public QObject
{
    Q_OBJECT

private slots:
    void firstAndSecondRun();

private:
    // Runs the program until started() holds, then ends it; gives what it added to the day's log.
    void runOnce(const TempHome &home, const QString &executable, const std::function<bool()> &started,
                 QByteArray &appended);
};

void tst_Startup::runOnce(const TempHome &home, const QString &executable, const std::function<bool()> &started,
                          QByteArray &appended)
{
    const QString log = Log::fileName(home.dataFolder(), QDate::currentDate());
    const qsizetype before = readFile(log).size();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(executable, {});
    QVERIFY(program.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(started(), 30000);
    program.terminate();
    program.waitForFinished(10000);
    appended = readFile(log).mid(before);
}

void tst_Startup::firstAndSecondRun()
{
    TempHome home;
    const QString appDir = home.path() + QStringLiteral("/app");
    QVERIFY(QDir().mkpath(appDir));
    const QString executable = appDir + QStringLiteral("/corvane2");
    QVERIFY(QFile::copy(QStringLiteral(CORVANE_EXECUTABLE), executable));
    const QString templatePath = appDir + QStringLiteral("/sniffer.ini");
    const QByteArray delivered = withToolRelease(readFile(QStringLiteral(CORVANE_SOURCE_DIR "/resources/sniffer.ini")));
    QVERIFY(writeFile(templatePath, delivered));

    const QString settingsPath = home.dataFolder() + QStringLiteral("/sniffer.ini");
    const QString videoFolder = home.documents() + QStringLiteral("/Corvane 2/Video");
    QByteArray first;
    runOnce(
        home, executable,
        [&] { return !QFile::exists(templatePath) && QFile::exists(settingsPath) && QDir(videoFolder).exists(); },
        first);
    static const QRegularExpression marker(QStringLiteral("^D: ----->>>>>  \"\\d\\d:\\d\\d:\\d\\d\"  <<<<<-----\\r$"),
                                           QRegularExpression::MultilineOption);
    QVERIFY2(marker.match(QString::fromLatin1(first)).hasMatch(), first.constData());
    QVERIFY(first.endsWith("\r\n"));
    QVERIFY(!QFile::exists(templatePath));
    QVERIFY(QFile::exists(settingsPath));
    QVERIFY(QDir(videoFolder).exists());

    // A template put back before the second run stays where it is; the run appends to the same log.
    QVERIFY(writeFile(templatePath, delivered));
    QSettings(settingsPath, QSettings::IniFormat).setValue(QStringLiteral("last_update"), QStringLiteral("7"));
    // The daily tool update was due: the day it ran is recorded, after the window is shown.
    const auto updateDay = [&settingsPath] {
        return QSettings(settingsPath, QSettings::IniFormat).value(QStringLiteral("last_update")).toString();
    };
    const QString today = QString::number(QDate::currentDate().dayOfYear());
    QByteArray second;
    runOnce(
        home, executable, [&] { return updateDay() == today; }, second);
    QVERIFY(marker.match(QString::fromLatin1(second)).hasMatch());
    QVERIFY(QFile::exists(templatePath));
    QCOMPARE(updateDay(), today);
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_Startup.moc"
