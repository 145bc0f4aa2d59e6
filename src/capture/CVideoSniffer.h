#pragma once

#include "IgnoreList.h"
#include "SniffCallback.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct SniffReport;
class FrameMatcher;
class KeyLog;
class ToolProcess;
struct pcap;

// Captures the HTTP traffic of one network adapter on a thread of its own and reports media responses through
// the registered callback, on that thread. When this process may not capture, the capture helper beside the program
// captures for it and the thread reads the helper's frames from a pipe.
class CVideoSniffer final : public QThread
{
public:
    // An adapter worth watching as the system lists it now.
    struct Adapter
    {
        QByteArray name;
        // The kernel's number for it: a new one when an adapter of the same name was removed and added again.
        unsigned index = 0;
    };

    // Adapters that are up and have a usable IPv4 or IPv6 address; never loopback. Shows a box when they cannot be
    // listed.
    static QList<QByteArray> listInterfaces();
    // The same without a box; nothing when the system could not list them. log: the enumeration's log lines,
    // which a periodic look would repeat every few seconds.
    static std::optional<QList<Adapter>> usableAdapters(bool log);

    // The key log SSLKEYLOGFILE names in this program's environment; none when it is not set.
    static std::shared_ptr<KeyLog> environmentKeyLog();

    // Opens the adapter and starts capturing; when that fails the object exists but never captures. TLS
    // connections are read with the secrets of keys; without it they are passed over.
    explicit CVideoSniffer(const QByteArray &adapterName, std::shared_ptr<KeyLog> keys = environmentKeyLog());
    // Stops within about a second even on a quiet adapter.
    ~CVideoSniffer() override;
    Q_DISABLE_COPY_MOVE(CVideoSniffer)

    void registerCallback(SniffCallback receiver);
    void addIgnoredUrl(const QByteArray &url, int count);
    bool takeIgnoredUrl(const QByteArray &url);
    // The entries not used up yet, taken out, for the engine that replaces this one.
    std::vector<QByteArray> takeIgnoredUrls();
    // Opened, and the capture loop has not ended on an error (the adapter went away).
    bool isCapturing() const;
    // The capture loop ran and ended on an error.
    bool hasEnded() const;
    // Why not, when it was not.
    QString openError() const;
    // Opening failed because this process may not capture.
    bool permissionDenied() const;
    // The adapter as it was when the engine opened it.
    const Adapter &adapter() const;

protected:
    void run() override;

private:
    bool open(const QByteArray &adapterName);
    bool activate(const QByteArray &adapterName);
    bool startHelper(const QByteArray &adapterName);
    void deliver(SniffReport report);
    void logStatistics();

    std::mutex callbackMutex;
    SniffCallback callback = nullptr;
    std::atomic<bool> stopRequested { false };
    std::atomic<bool> loopFinished { false };
    pcap *handle = nullptr;
    // Lives on the thread that made the engine; the capture thread only reads helperOutput, the pipe's read end.
    std::unique_ptr<ToolProcess> helper;
    int helperOutput = -1;
    IgnoreList ignored;
    std::shared_ptr<KeyLog> keyLog;
    std::unique_ptr<FrameMatcher> matcher;
    QString error;
    bool denied = false;
    Adapter openedAdapter;
};
