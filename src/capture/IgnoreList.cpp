#include "IgnoreList.h"

#include <algorithm>
#include <utility>

void IgnoreList::add(const QByteArray &url, int count)
{
    const std::lock_guard lock(mutex);
    for (int i = 0; i < count; ++i) {
        urls.push_back(url);
    }
}

bool IgnoreList::take(const QByteArray &url)
{
    const std::lock_guard lock(mutex);
    const auto found = std::find(urls.begin(), urls.end(), url);
    if (found == urls.end()) {
        return false;
    }
    urls.erase(found);
    return true;
}

std::vector<QByteArray> IgnoreList::takeAll()
{
    const std::lock_guard lock(mutex);
    return std::exchange(urls, {});
}
