#include "LivePlaylistCheck.h"

#include "HlsPlaylist.h"
#include "Trace.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>

namespace {

// A media playlist lists a few segments; anything far larger is no playlist worth reading.
constexpr qint64 LargestPlaylist = 4 * 1024 * 1024;
constexpr int TransferTimeout = 20000;

} // namespace

LivePlaylistCheck::LivePlaylistCheck(QObject *parent)
    : QObject(parent)
    , network(new QNetworkAccessManager(this))
{ }

void LivePlaylistCheck::check(const FormatEntry &format)
{
    abandon();
    const QUrl url(format.url);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(TransferTimeout);
    for (const auto &[name, value] : format.httpHeaders) {
        request.setRawHeader(name, value);
    }
    reply = network->get(request);
    QNetworkReply *asked = reply;
    connect(asked, &QNetworkReply::downloadProgress, this, [asked](qint64 received, qint64) {
        if (received > LargestPlaylist) {
            asked->abort();
        }
    });
    connect(asked, &QNetworkReply::finished, this, [this, asked, url] {
        asked->deleteLater();
        if (asked != reply) {
            return;
        }
        reply = nullptr;
        const std::optional<AdaptiveStream> stream
            = asked->error() == QNetworkReply::NoError ? HlsPlaylist::read(asked->readAll(), url) : std::nullopt;
        trace() << "LivePlaylistCheck" << url.toDisplayString(QUrl::RemoveQuery)
                << (stream ? (stream->live ? "live" : "finished") : "unreadable");
        emit checked(stream && stream->live);
    });
}

void LivePlaylistCheck::abandon()
{
    if (QNetworkReply *dropped = std::exchange(reply, nullptr)) {
        dropped->abort();
    }
}

bool LivePlaylistCheck::isRunning() const
{
    return reply != nullptr;
}
