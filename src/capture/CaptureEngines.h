#pragma once

#include "SniffCallback.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CVideoSniffer;
class KeyLog;

// One capture engine per usable adapter, kept in step with the adapters the system has: adapters that appear
// get an engine, and an engine whose adapter went away or came back is replaced. Address changes need nothing: the
// engines read whole connections, whichever addresses they run between. Used on the window's thread only.
class CaptureEngines
{
public:
    // keyLogFile: where browsers write their TLS secrets, read by every engine; empty for none.
    explicit CaptureEngines(SniffCallback reportReceiver, const QString &keyLogFile = {});
    ~CaptureEngines();
    Q_DISABLE_COPY_MOVE(CaptureEngines)

    enum class Problem { None, NoAdapter, NotPermitted, Failed };

    // Brings the engines in step with the adapters. Only when opening (the page) are adapters that could not
    // be opened tried again, so that a refused one is not reopened every few seconds, and is a failure to list
    // the adapters shown.
    void refresh(bool opening);
    // Why nothing is captured, if nothing is.
    Problem problem() const;
    // The reasons of the adapters that could not be opened, one line each.
    QStringList failures() const;
    const std::vector<std::unique_ptr<CVideoSniffer>> &engines() const;

private:
    SniffCallback receiver;
    std::shared_ptr<KeyLog> keyLog;
    std::vector<std::unique_ptr<CVideoSniffer>> running;
    bool adaptersListed = false;
};
