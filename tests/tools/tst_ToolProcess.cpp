#include "ToolProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

using namespace std::chrono_literals;

namespace {

const QString shell = QStringLiteral("/bin/sh");

// Run as a child of the test: starts a long tool through ToolProcess and prints the tool's pid.
int runParent()
{
    ToolProcess tool;
    QObject::connect(&tool, &ToolProcess::outputReady, &tool, [&tool] {
        QFile out;
        out.open(stdout, QIODevice::WriteOnly);
        out.write(tool.readOutput());
    });
    tool.start(shell, { QStringLiteral("-c"), QStringLiteral("echo $$; exec sleep 600") });
    return QCoreApplication::exec();
}

// Gone, or a zombie that nobody reaps in this container.
bool ended(const QByteArray &pid)
{
    const QByteArray stat = [&pid] {
        QFile file(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

class tst_ToolProcess final : public QObject
{
    Q_OBJECT

private slots:
    void toolEndsWhenTheProgramIsKilled();
    void stopGoesFromPoliteToKill_data();
    void stopGoesFromPoliteToKill();
    void silentToolIsEnded();
    void failuresAreReportedFromTheEventLoop();
};

void tst_ToolProcess::toolEndsWhenTheProgramIsKilled()
{
#ifndef Q_OS_LINUX
    QSKIP("the parent-death signal is Linux's");
#endif
    QProcess parent;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TOOLPROCESS_PARENT"), QStringLiteral("1"));
    parent.setProcessEnvironment(environment);
    parent.start(QCoreApplication::applicationFilePath(), {});
    QTRY_VERIFY_WITH_TIMEOUT(parent.canReadLine(), 10000);
    const QByteArray pid = parent.readLine().trimmed();
    QVERIFY(!ended(pid));
    ::kill(pid_t(parent.processId()), SIGKILL);
    QVERIFY(parent.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(ended(pid), 10000);
}

void tst_ToolProcess::stopGoesFromPoliteToKill_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("politeStop");
    QTest::addColumn<ToolProcess::End>("how");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("reads its stop word") << QStringLiteral("read word; exit 3") << QByteArray("q\n")
                                         << ToolProcess::End::Exited << 3;
    QTest::newRow("no stop word: terminated")
        << QStringLiteral("exec sleep 600") << QByteArray() << ToolProcess::End::Crashed << 15;
    QTest::newRow("deaf to both: killed") << QStringLiteral("trap '' TERM; while :; do sleep 0.05; done")
                                          << QByteArray("q\n") << ToolProcess::End::Crashed << 9;
}

void tst_ToolProcess::stopGoesFromPoliteToKill()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, politeStop);
    QFETCH(ToolProcess::End, how);
    QFETCH(int, exitCode);
    ToolProcess tool;
    QSignalSpy ended(&tool, &ToolProcess::ended);
    ToolProcess::Options options;
    options.politeStop = politeStop;
    options.stopGrace = 300ms;
    tool.start(shell, { QStringLiteral("-c"), QStringLiteral("echo up; ") + script }, options);
    QByteArray output;
    QTRY_VERIFY((output += tool.readOutput()).contains("up"));
    tool.stop();
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.constFirst().at(0).value<ToolProcess::End>(), how);
    // A crash reports the signal's number only on some platforms; the kind of end is what callers use.
    if (how == ToolProcess::End::Exited) {
        QCOMPARE(ended.constFirst().at(1).toInt(), exitCode);
    }
    QVERIFY(!tool.isRunning());
}

void tst_ToolProcess::silentToolIsEnded()
{
    ToolProcess tool;
    QSignalSpy ended(&tool, &ToolProcess::ended);
    ToolProcess::Options options;
    options.silenceLimit = 500ms;
    // Talking on standard error alone still counts as alive; then it falls silent.
    tool.start(shell,
               { QStringLiteral("-c"),
                 QStringLiteral("for i in 1 2 3 4 5 6; do echo tick >&2; sleep 0.2; done; echo 'ERROR: gave up' >&2; "
                                "echo last >&2; exec sleep 600") },
               options);
    QVERIFY(ended.wait(20000));
    QCOMPARE(ended.constFirst().at(0).value<ToolProcess::End>(), ToolProcess::End::Silent);
    QCOMPARE(tool.errorLine(), QStringLiteral("ERROR: gave up"));
    QVERIFY(tool.errorTail().startsWith("tick"));
}

void tst_ToolProcess::failuresAreReportedFromTheEventLoop()
{
    ToolProcess tool;
    QSignalSpy ended(&tool, &ToolProcess::ended);
    tool.start(QStringLiteral("/nonexistent/tool"), {});
    QCOMPARE(ended.size(), 0);
    QVERIFY(ended.wait(5000));
    QCOMPARE(ended.constFirst().at(0).value<ToolProcess::End>(), ToolProcess::End::FailedToStart);
    QVERIFY(!tool.errorLine().isEmpty());

    // A run replaced by a new one is never reported.
    ended.clear();
    tool.start(shell, { QStringLiteral("-c"), QStringLiteral("exit 4") });
    tool.start(shell, { QStringLiteral("-c"), QStringLiteral("exit 5") });
    QVERIFY(ended.wait(5000));
    QCoreApplication::processEvents();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.constFirst().at(1).toInt(), 5);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("TOOLPROCESS_PARENT")) {
        return runParent();
    }
    tst_ToolProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ToolProcess.moc"
