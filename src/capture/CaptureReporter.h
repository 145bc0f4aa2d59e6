#pragma once

#include <QString>

// How the widget-free engine shows its message boxes (same text as title and body). The application installs
// one; with none installed, the text goes to the critical log channel.
class CaptureReporter
{
public:
    virtual ~CaptureReporter() = default;
    virtual void critical(const QString &text) = 0;

    // nullptr uninstalls
    static void install(CaptureReporter *reporter);
    static void report(const QString &text);
};
