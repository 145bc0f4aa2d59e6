#include "CaptureReporter.h"

#include <QDebug>

#include <atomic>

namespace {
std::atomic<CaptureReporter *> installed { nullptr };
}

void CaptureReporter::install(CaptureReporter *reporter)
{
    installed.store(reporter);
}

void CaptureReporter::report(const QString &text)
{
    if (CaptureReporter *reporter = installed.load()) {
        reporter->critical(text);
    } else {
        qCritical().noquote() << text;
    }
}
