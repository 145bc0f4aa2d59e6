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

struct SniffReport;
class FrameMatcher;
struct pcap;

// Captures the HTTP traffic of one network adapter on a thread of its own and reports media responses through
// the registered callback, on that thread.
class CVideoSniffer final : public QThread
{
public:
    // Adapters with a usable IPv4 address; never loopback.
    static QList<QByteArray> listInterfaces();

    // Opens the adapter and starts capturing; when that fails the object exists but never captures.
    explicit CVideoSniffer(const QByteArray &adapterName);
    // Stops within about a second even on a quiet adapter.
    ~CVideoSniffer() override;
    Q_DISABLE_COPY_MOVE(CVideoSniffer)

    void registerCallback(SniffCallback receiver);
    void addIgnoredUrl(const QByteArray &url, int count);
    bool takeIgnoredUrl(const QByteArray &url);
    // The adapter was opened and the capture thread started.
    bool isCapturing() const;
    // Why not, when it was not.
    QString openError() const;

protected:
    void run() override;

private:
    bool open(const QByteArray &adapterName);
    void deliver(SniffReport report);

    std::mutex callbackMutex;
    SniffCallback callback = nullptr;
    std::atomic<bool> stopRequested { false };
    std::atomic<bool> loopFinished { false };
    pcap *handle = nullptr;
    std::array<quint8, 4> interfaceAddress {};
    IgnoreList ignored;
    std::unique_ptr<FrameMatcher> matcher;
    QString error;
};
