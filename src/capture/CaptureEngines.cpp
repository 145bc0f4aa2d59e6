#include "CaptureEngines.h"

#include "CVideoSniffer.h"
#include "CaptureReporter.h"
#include "KeyLog.h"
#include "Trace.h"

#include <QHash>

#include <algorithm>

namespace {

// Why an engine must give way to a new one for the adapter as it is now; nullptr when it may stay.
const char *replacementReason(const CVideoSniffer &engine, const CVideoSniffer::Adapter &now, bool retryFailed)
{
    const CVideoSniffer::Adapter &before = engine.adapter();
    if (before.index != now.index) {
        return "was removed and added again";
    }
    if (engine.hasEnded()) {
        return "stopped delivering frames";
    }
    if (!engine.isCapturing() && retryFailed) {
        return "is tried again";
    }
    return nullptr;
}

} // namespace

CaptureEngines::CaptureEngines(SniffCallback reportReceiver, const QString &keyLogFile)
    : receiver(reportReceiver)
    , keyLog(keyLogFile.isEmpty() ? nullptr : std::make_shared<KeyLog>(keyLogFile))
{ }

CaptureEngines::~CaptureEngines() = default;

void CaptureEngines::refresh(bool opening)
{
    const std::optional<QList<CVideoSniffer::Adapter>> adapters = CVideoSniffer::usableAdapters(opening);
    if (!adapters) {
        // The engines keep what they have; the next refresh asks again.
        if (opening) {
            CaptureReporter::report(QStringLiteral("Unable to get interfaces"));
        }
        return;
    }
    adaptersListed = !adapters->isEmpty();
    // The window's own requests that an engine being replaced has not seen yet: its successor must not report them.
    QHash<QByteArray, std::vector<QByteArray>> pendingIgnored;
    std::erase_if(running, [&](const std::unique_ptr<CVideoSniffer> &engine) {
        const QByteArray &name = engine->adapter().name;
        const auto now = std::find_if(adapters->cbegin(), adapters->cend(),
                                      [&](const CVideoSniffer::Adapter &adapter) { return adapter.name == name; });
        const char *reason = now == adapters->cend() ? "went away" : replacementReason(*engine, *now, opening);
        if (reason) {
            trace() << "CaptureEngines"
                    << ":" << name << reason;
            pendingIgnored.insert(name, engine->takeIgnoredUrls());
        }
        return reason != nullptr;
    });
    for (const CVideoSniffer::Adapter &adapter : *adapters) {
        const bool watched = std::any_of(running.cbegin(), running.cend(),
                                         [&](const auto &engine) { return engine->adapter().name == adapter.name; });
        if (watched) {
            continue;
        }
        auto engine = std::make_unique<CVideoSniffer>(adapter.name, keyLog);
        engine->registerCallback(receiver);
        const std::vector<QByteArray> ownRequests = pendingIgnored.value(adapter.name);
        for (const QByteArray &url : ownRequests) {
            engine->addIgnoredUrl(url, 1);
        }
        running.push_back(std::move(engine));
    }
}

CaptureEngines::Problem CaptureEngines::problem() const
{
    if (std::any_of(running.cbegin(), running.cend(), [](const auto &engine) { return engine->isCapturing(); })) {
        return Problem::None;
    }
    if (!adaptersListed) {
        return Problem::NoAdapter;
    }
    const bool denied
        = std::any_of(running.cbegin(), running.cend(), [](const auto &engine) { return engine->permissionDenied(); });
    return denied ? Problem::NotPermitted : Problem::Failed;
}

QStringList CaptureEngines::failures() const
{
    QStringList reasons;
    for (const auto &engine : running) {
        if (!engine->isCapturing() && !engine->openError().isEmpty()) {
            reasons.append(engine->openError());
        }
    }
    return reasons;
}

const std::vector<std::unique_ptr<CVideoSniffer>> &CaptureEngines::engines() const
{
    return running;
}
