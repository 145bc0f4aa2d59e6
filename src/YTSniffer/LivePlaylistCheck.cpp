#include "LivePlaylistCheck.h"

#include "BoundedFetch.h"
#include "HlsPlaylist.h"
#include "Trace.h"

namespace {

// A media playlist lists a few segments; anything far larger is no playlist worth reading.
constexpr qint64 LargestPlaylist = 4 * 1024 * 1024;
constexpr std::chrono::milliseconds TransferTimeout { 20000 };

} // namespace

LivePlaylistCheck::LivePlaylistCheck(QObject *parent)
    : QObject(parent)
    , fetch(new BoundedFetch(LargestPlaylist, this))
{
    connect(fetch, &BoundedFetch::finished, this, [this](const BoundedFetch::Answer &answer) {
        const std::optional<AdaptiveStream> stream
            = answer.error.isEmpty() ? HlsPlaylist::read(answer.body, answer.url) : std::nullopt;
        trace() << "LivePlaylistCheck" << answer.url.toDisplayString(QUrl::RemoveQuery)
                << (stream ? (stream->live ? "live" : "finished") : "unreadable");
        emit checked(stream && stream->live);
    });
}

void LivePlaylistCheck::check(const FormatEntry &format)
{
    fetch->get(QUrl(format.url), TransferTimeout, format.httpHeaders);
}

void LivePlaylistCheck::abandon()
{
    fetch->abandon();
}

bool LivePlaylistCheck::isRunning() const
{
    return fetch->isRunning();
}
