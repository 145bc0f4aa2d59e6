#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>

class QProcess;
class QTimer;

// The one way to run an external program: by full path with an argument list, never through a shell.
// The caller says which output it reads, how long the tool may stay silent and how to ask it to stop.
// The end of standard error is always kept, for the log and for the user's message. No call waits for
// the tool; ended() reports every run exactly once, never from inside start().
// On Linux a tool ends with the program, even when the program is killed.
class ToolProcess final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolProcess)

public:
    enum class Output {
        // Standard output is read and dropped.
        Discard,
        // readOutput() gives standard output; standard error only feeds errorTail().
        StandardOutput,
        // Both channels in one stream, through readOutput() and errorTail() alike.
        Merged
    };

    enum class End {
        Exited,
        Crashed,
        FailedToStart,
        // Printed nothing for longer than the caller allowed, and was ended.
        Silent
    };
    Q_ENUM(End)

    struct Options
    {
        Output output = Output::StandardOutput;
        // Zero: the tool may stay silent for as long as it likes.
        std::chrono::milliseconds silenceLimit { 0 };
        // Written to standard input to ask the tool to finish on its own (the converter reads "q").
        QByteArray politeStop;
        // How long each step of stop() waits before the next, harder one.
        std::chrono::milliseconds stopGrace { 5000 };
        // Set in the tool's environment, over what the program's own environment holds.
        QHash<QString, QString> environment;
        // A descriptor that becomes the tool's standard output in place of the pipe readOutput() reads, for a
        // caller that reads the tool on a thread of its own. The caller keeps its copy and closes it after start().
        int standardOutputHandle = -1;
    };

    explicit ToolProcess(QObject *parent = nullptr);
    // Kills a tool that still runs and waits until it is gone.
    ~ToolProcess() override;

    // A run still going is abandoned first: killed, and its end not reported.
    void start(const QString &program, const QStringList &arguments, const Options &options);
    void start(const QString &program, const QStringList &arguments);

    bool isRunning() const;
    // Asks the tool to end: its polite stop, then terminate, then kill, each after the grace time.
    // ended() follows as the tool really ended.
    void stop();
    // Abandons the run at once: killed, and its end not reported.
    void abandon();
    // Closes the tool's standard input: a tool that reads it to its end takes this as the sign to finish.
    void closeInput();
    bool stopRequested() const;

    // What arrived on the chosen output since the last call.
    QByteArray readOutput();
    // The last few KB of standard error (of both channels when merged).
    QByteArray errorTail() const;
    // The tool's own words on what went wrong: its last "ERROR:" line, else its last line of error output.
    QString errorLine() const;
    QString program() const;

    // Stops every tool still running, each politely first; used when the program quits.
    static void stopAll();

signals:
    void outputReady();
    void ended(ToolProcess::End how, int exitCode);

private:
    void readError();
    void readStandardOutput();
    void noteActivity();
    void finish(End how, int exitCode);
    void escalate();
    QProcess *takeProcess();

    QProcess *process = nullptr;
    QTimer *silence;
    QTimer *stopStep;
    Options options;
    QString programPath;
    QByteArray pending;
    QByteArray tail;
    int stopStage = 0;
    // Counts runs, so that a report queued for an abandoned run is dropped.
    quint64 runs = 0;
};
