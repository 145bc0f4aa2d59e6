#pragma once

#include "VideoInfo.h"

#include <QObject>

class BoundedFetch;

// Reads an HLS format's playlist to learn whether the stream is still going on, for pages the tool leaves
// unmarked. An unreadable playlist counts as a finished stream: the page is then downloaded as before.
class LivePlaylistCheck final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LivePlaylistCheck)

public:
    explicit LivePlaylistCheck(QObject *parent = nullptr);

    // checked() follows once, unless abandon() comes first. A newer check abandons the older one.
    void check(const FormatEntry &format);
    void abandon();
    bool isRunning() const;

signals:
    void checked(bool live);

private:
    BoundedFetch *fetch;
};
