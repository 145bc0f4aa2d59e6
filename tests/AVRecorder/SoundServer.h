#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private PulseAudio server for one test, in a runtime folder of its own that this process's
// environment points to while the object lives. It is stopped again however the test ends; on Linux
// it also ends with the test process should that crash.
class SoundServer final
{
public:
    SoundServer();
    ~SoundServer();
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    // Empty when the server runs, otherwise why it does not.
    QString error() const;

private:
    bool answers();

    QTemporaryDir runtime;
    bool hadRuntime = false;
    QByteArray oldRuntime;
    QString failure;
    QProcess server;
    // Without a reader the null sink buffers up to two seconds and a capture misses its start.
    QProcess keepLatencyLow;
};
