#include "Files.h"
#include "ToolProcess.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

using namespace std::chrono_literals;
using End = ToolProcess::End;

namespace {

QStringList script(const QString &commands)
{
    return { QStringLiteral("-c"), commands };
}

ToolProcess::Options options(std::chrono::milliseconds silence, const QByteArray &politeStop)
{
    ToolProcess::Options result;
    result.silenceLimit = silence;
    result.politeStop = politeStop;
    result.stopGrace = 300ms;
    return result;
}

// Gone, or a zombie that nobody reaps in this container.
bool ended(const QByteArray &pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
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
    void silentAndMissingTools();
};

void tst_ToolProcess::toolEndsWhenTheProgramIsKilled()
{
    // The test's own copy starts the tool and prints the tool's pid (see main).
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
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QByteArray>("politeStop");
    QTest::addColumn<End>("how");
    QTest::newRow("reads its stop word") << "read word; exit 3" << QByteArray("q\n") << End::Exited;
    QTest::newRow("no stop word: terminated") << "exec sleep 600" << QByteArray() << End::Crashed;
    QTest::newRow("deaf to both: killed")
        << "trap '' TERM; while :; do sleep 0.05; done" << QByteArray("q\n") << End::Crashed;
}

void tst_ToolProcess::stopGoesFromPoliteToKill()
{
    QFETCH(QString, commands);
    QFETCH(QByteArray, politeStop);
    ToolProcess tool;
    QSignalSpy ends(&tool, &ToolProcess::ended);
    tool.start(QStringLiteral("/bin/sh"), script(QStringLiteral("echo up; ") + commands), options(0ms, politeStop));
    QByteArray output;
    QTRY_VERIFY((output += tool.readOutput()).contains("up"));
    tool.stop();
    QVERIFY(ends.wait(10000));
    QTEST(ends.constFirst().at(0).value<End>(), "how");
    QVERIFY(!tool.isRunning());
}

void tst_ToolProcess::silentAndMissingTools()
{
    ToolProcess tool;
    QSignalSpy ends(&tool, &ToolProcess::ended);
    // Talking on standard error alone still counts as alive; then it falls silent.
    tool.start(QStringLiteral("/bin/sh"),
               script(QStringLiteral("for i in 1 2 3 4 5 6; do echo tick >&2; sleep 0.2; done; "
                                     "echo 'ERROR: gave up' >&2; echo last >&2; exec sleep 600")),
               options(500ms, {}));
    QVERIFY(ends.wait(20000));
    QCOMPARE(ends.constFirst().at(0).value<End>(), End::Silent);
    QCOMPARE(tool.errorLine(), QStringLiteral("ERROR: gave up"));
    QVERIFY(tool.errorTail().startsWith("tick"));

    // A missing tool is reported from the event loop; a run replaced by a new one is never reported.
    ends.clear();
    tool.start(QStringLiteral("/nonexistent/tool"), {});
    QCOMPARE(ends.size(), 0);
    QVERIFY(ends.wait(5000));
    QCOMPARE(ends.constFirst().at(0).value<End>(), End::FailedToStart);
    ends.clear();
    tool.start(QStringLiteral("/bin/sh"), script(QStringLiteral("exit 4")));
    tool.start(QStringLiteral("/bin/sh"), script(QStringLiteral("exit 5")));
    QVERIFY(ends.wait(5000));
    QCoreApplication::processEvents();
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.constFirst().at(1).toInt(), 5);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("TOOLPROCESS_PARENT")) {
        tst_ToolProcess test;
        return QTest::qExec(&test, argc, argv);
    }
    ToolProcess tool;
    QObject::connect(&tool, &ToolProcess::outputReady, &tool, [&tool] {
        fputs(tool.readOutput().constData(), stdout);
        fflush(stdout);
    });
    tool.start(QStringLiteral("/bin/sh"), script(QStringLiteral("echo $$; exec sleep 600")));
    return QCoreApplication::exec();
}

#include "tst_ToolProcess.moc"
