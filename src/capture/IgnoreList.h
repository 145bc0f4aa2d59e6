#pragma once

#include <QByteArray>

#include <mutex>
#include <vector>

// URLs that must not be reported; one entry suppresses one report. Filled from the window's thread, used up
// by the capture thread.
class IgnoreList
{
public:
    void add(const QByteArray &url, int count);
    // Removes the first entry equal to url, keeping the order of the rest.
    bool take(const QByteArray &url);
    // Empties the list, giving its entries in order.
    std::vector<QByteArray> takeAll();

private:
    std::mutex mutex;
    std::vector<QByteArray> urls;
};
