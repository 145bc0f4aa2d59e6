#pragma once

#include "Modal.h"
#include "Sniffer.h"
#include "TempHome.h"

#include <QByteArray>
#include <QWidget>

#include <memory>

// A started main window in a fresh home. The settings file holds the given content, or the delivered
// template when none is given.
class WindowFixture final
{
public:
    explicit WindowFixture(const QByteArray &settings = deliveredSettings(), const QString &home = {});
    ~WindowFixture();
    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    static QByteArray deliveredSettings();

    Sniffer &window() const { return *sniffer; }
    const TempHome &home() const { return tempHome; }

    template<typename T>
    T *find(const QString &name) const
    {
        return sniffer->findChild<T *>(name);
    }

private:
    TempHome tempHome;
    std::unique_ptr<Sniffer> sniffer;
};
