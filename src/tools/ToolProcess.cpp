#include "ToolProcess.h"

#include "Trace.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <utility>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace {

// The header lines a player or converter is given carry cookies and credentials: the log gets a placeholder.
QStringList loggable(QStringList arguments)
{
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        if (arguments.at(index - 1) == QLatin1String("-headers")
            || arguments.at(index - 1) == QLatin1String("-cookies")) {
            arguments[index] = QStringLiteral("<headers>");
        }
    }
    return arguments;
}

constexpr qsizetype TailBytes = 8192;

// Every ToolProcess alive, for stopAll(). Touched on the GUI thread only.
QList<ToolProcess *> &liveTools()
{
    static QList<ToolProcess *> tools;
    return tools;
}

void endWithParent([[maybe_unused]] QProcess &process, [[maybe_unused]] int outputHandle)
{
#ifdef Q_OS_LINUX
    // The child is told when the program dies, however it dies; a tool that reads "q" (the converter)
    // also finishes its file on SIGTERM. A parent that died before prctl() took effect is caught by
    // comparing the parent's id.
    const pid_t parent = getpid();
    process.setChildProcessModifier([parent, outputHandle] {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent || (outputHandle >= 0 && dup2(outputHandle, STDOUT_FILENO) < 0)) {
            _exit(127);
        }
    });
#endif
}

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> result;
    for (const QByteArray &line : QByteArray(text).replace('\r', '\n').split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty()) {
            result.append(trimmed);
        }
    }
    return result;
}

} // namespace

ToolProcess::ToolProcess(QObject *parent)
    : QObject(parent)
    , silence(new QTimer(this))
    , stopStep(new QTimer(this))
{
    silence->setSingleShot(true);
    stopStep->setSingleShot(true);
    connect(silence, &QTimer::timeout, this, [this] {
        traceError() << "ToolProcess"
                     << "no output for" << options.silenceLimit.count() << "ms from" << program();
        QProcess *silent = takeProcess();
        silent->kill();
        silent->waitForFinished();
        silent->deleteLater();
        finish(End::Silent, -1);
    });
    connect(stopStep, &QTimer::timeout, this, &ToolProcess::escalate);
    liveTools().append(this);
}

ToolProcess::~ToolProcess()
{
    liveTools().removeOne(this);
    abandon();
}

void ToolProcess::start(const QString &program, const QStringList &arguments)
{
    start(program, arguments, Options {});
}

void ToolProcess::start(const QString &program, const QStringList &arguments, const Options &runOptions)
{
    abandon();
    options = runOptions;
    pending.clear();
    tail.clear();
    stopStage = 0;
    programPath = program;

    process = new QProcess(this);
    endWithParent(*process, options.standardOutputHandle);
    if (options.standardOutputHandle >= 0) {
        process->setStandardOutputFile(QProcess::nullDevice());
    }
    if (options.output == Output::Merged) {
        process->setProcessChannelMode(QProcess::MergedChannels);
    }
    if (!options.environment.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (auto variable = options.environment.cbegin(); variable != options.environment.cend(); ++variable) {
            environment.insert(variable.key(), variable.value());
        }
        process->setProcessEnvironment(environment);
    }
    QProcess *started = process;
    connect(process, &QProcess::readyReadStandardOutput, this, &ToolProcess::readStandardOutput);
    connect(process, &QProcess::readyReadStandardError, this, &ToolProcess::readError);
    connect(process, &QProcess::finished, this, [this, started](int exitCode, QProcess::ExitStatus status) {
        if (process != started) {
            return;
        }
        readStandardOutput();
        readError();
        takeProcess()->deleteLater();
        finish(status == QProcess::CrashExit ? End::Crashed : End::Exited, exitCode);
    });
    connect(process, &QProcess::errorOccurred, this, [this, started](QProcess::ProcessError error) {
        if (process != started || error != QProcess::FailedToStart) {
            return;
        }
        tail = started->errorString().toLocal8Bit();
        takeProcess()->deleteLater();
        // QProcess may say this from inside start(); the caller hears it from the event loop.
        QMetaObject::invokeMethod(
            this,
            [this, run = runs] {
                if (run == runs) {
                    finish(End::FailedToStart, -1);
                }
            },
            Qt::QueuedConnection);
    });

    trace() << "ToolProcess"
            << "start" << program << loggable(arguments);
    if (options.silenceLimit.count() > 0) {
        silence->start(options.silenceLimit);
    }
    process->start(program, arguments, QIODevice::ReadWrite);
}

bool ToolProcess::isRunning() const
{
    return process != nullptr;
}

void ToolProcess::stop()
{
    if (process == nullptr || stopStage > 0) {
        return;
    }
    trace() << "ToolProcess"
            << "stop" << program();
    escalate();
}

void ToolProcess::escalate()
{
    if (process == nullptr) {
        return;
    }
    ++stopStage;
    if (stopStage == 1 && !options.politeStop.isEmpty()) {
        process->write(options.politeStop);
    } else if (stopStage <= 2) {
        stopStage = 2;
        process->terminate();
    } else {
        traceError() << "ToolProcess"
                     << "killed" << program();
        process->kill();
        return;
    }
    stopStep->start(options.stopGrace);
}

void ToolProcess::abandon()
{
    // A failure to start that is still on its way belongs to the abandoned run.
    ++runs;
    silence->stop();
    stopStep->stop();
    if (process == nullptr) {
        return;
    }
    QProcess *abandoned = takeProcess();
    abandoned->kill();
    abandoned->waitForFinished();
    delete abandoned;
}

void ToolProcess::closeInput()
{
    if (process != nullptr) {
        process->closeWriteChannel();
    }
}

bool ToolProcess::stopRequested() const
{
    return stopStage > 0;
}

QByteArray ToolProcess::readOutput()
{
    return std::exchange(pending, {});
}

QByteArray ToolProcess::errorTail() const
{
    return tail;
}

QString ToolProcess::errorLine() const
{
    const QList<QByteArray> all = lines(tail);
    for (auto line = all.crbegin(); line != all.crend(); ++line) {
        if (line->startsWith("ERROR:")) {
            return QString::fromLocal8Bit(*line);
        }
    }
    return all.isEmpty() ? QString() : QString::fromLocal8Bit(all.constLast());
}

QString ToolProcess::program() const
{
    return programPath;
}

void ToolProcess::stopAll()
{
    for (ToolProcess *tool : std::as_const(liveTools())) {
        if (tool->process == nullptr) {
            continue;
        }
        QProcess *running = tool->process;
        trace() << "ToolProcess"
                << "stopping at quit" << running->program();
        const int grace = int(tool->options.stopGrace.count());
        if (!tool->options.politeStop.isEmpty()) {
            running->write(tool->options.politeStop);
            running->waitForBytesWritten(grace);
            if (running->waitForFinished(grace)) {
                continue;
            }
        }
        running->terminate();
        if (!running->waitForFinished(grace)) {
            running->kill();
            running->waitForFinished();
        }
    }
}

void ToolProcess::readStandardOutput()
{
    if (process == nullptr) {
        return;
    }
    const QByteArray chunk = process->readAllStandardOutput();
    if (chunk.isEmpty()) {
        return;
    }
    noteActivity();
    if (options.output == Output::Merged) {
        tail = (tail + chunk).right(TailBytes);
    }
    if (options.output != Output::Discard) {
        pending += chunk;
        emit outputReady();
    }
}

void ToolProcess::readError()
{
    if (process == nullptr || options.output == Output::Merged) {
        return;
    }
    const QByteArray chunk = process->readAllStandardError();
    if (!chunk.isEmpty()) {
        noteActivity();
        tail = (tail + chunk).right(TailBytes);
    }
}

void ToolProcess::noteActivity()
{
    if (silence->isActive()) {
        silence->start();
    }
}

void ToolProcess::finish(End how, int exitCode)
{
    silence->stop();
    stopStep->stop();
    if (how != End::Exited || exitCode != 0) {
        traceError() << "ToolProcess"
                     << "ended" << how << exitCode << QString::fromLocal8Bit(tail.right(1024));
    }
    emit ended(how, exitCode);
}

QProcess *ToolProcess::takeProcess()
{
    QProcess *taken = process;
    process = nullptr;
    taken->disconnect(this);
    return taken;
}
