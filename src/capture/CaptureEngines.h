#pragma once

#include "SniffCallback.h"

#include <QStringList>

#include <memory>
#include <vector>

class CVideoSniffer;

// One capture engine per usable adapter, kept in step with the adapters the system has: adapters that appear
// get an engine, and an engine whose adapter went away or came back is replaced. Address changes need nothing: the
// engines read whole connections, whichever addresses they run between. Used on the window's thread only.
class CaptureEngines
{
public:
    explicit CaptureEngines(SniffCallback reportReceiver);
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
    std::vector<std::unique_ptr<CVideoSniffer>> running;
    bool adaptersListed = false;
};
