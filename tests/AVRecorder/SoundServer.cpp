#include "SoundServer.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

void endWithParent(QProcess &process)
{
#ifdef Q_OS_LINUX
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#else
    Q_UNUSED(process)
#endif
}

} // namespace

SoundServer::SoundServer()
    : hadRuntime(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
    , oldRuntime(qgetenv("XDG_RUNTIME_DIR"))
{
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
        failure = QStringLiteral("pulseaudio is not installed");
        return;
    }
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    endWithParent(server);
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.start(QStringLiteral("pulseaudio"),
                 { QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1") });
    const QDeadlineTimer deadline(20000);
    while (!answers()) {
        if (server.state() == QProcess::NotRunning || deadline.hasExpired()) {
            failure = QStringLiteral("pulseaudio did not start");
            return;
        }
        QThread::msleep(100);
    }
    endWithParent(keepLatencyLow);
    keepLatencyLow.setStandardOutputFile(QProcess::nullDevice());
    keepLatencyLow.start(
        QStringLiteral("parec"),
        { QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), QStringLiteral("auto_null.monitor") });
    keepLatencyLow.waitForStarted();
}

SoundServer::~SoundServer()
{
    keepLatencyLow.kill();
    keepLatencyLow.waitForFinished();
    if (server.state() != QProcess::NotRunning) {
        QProcess::execute(QStringLiteral("pulseaudio"), { QStringLiteral("--kill") });
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished();
        }
    }
    if (hadRuntime) {
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
    } else {
        qunsetenv("XDG_RUNTIME_DIR");
    }
}

QString SoundServer::error() const
{
    return failure;
}

bool SoundServer::answers()
{
    QProcess info;
    info.setStandardOutputFile(QProcess::nullDevice());
    info.setStandardErrorFile(QProcess::nullDevice());
    info.start(QStringLiteral("pactl"), { QStringLiteral("info") });
    return info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0;
}
