#include "BoundedFetch.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

BoundedFetch::BoundedFetch(qint64 largestAnswer, QObject *parent)
    : QObject(parent)
    , network(new QNetworkAccessManager(this))
    , largest(largestAnswer)
{ }

void BoundedFetch::get(const QUrl &url, std::chrono::milliseconds stallTimeout, const Headers &headers)
{
    abandon();
    tooLarge = false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(int(stallTimeout.count()));
    for (const auto &[name, value] : headers) {
        request.setRawHeader(name, value);
    }
    reply = network->get(request);
    QNetworkReply *asked = reply;
    connect(asked, &QNetworkReply::downloadProgress, this, [this, asked](qint64 received, qint64) {
        if (received > largest && asked == reply) {
            tooLarge = true;
            asked->abort();
        }
    });
    connect(asked, &QNetworkReply::finished, this, [this, asked] { end(asked); });
}

void BoundedFetch::end(QNetworkReply *asked)
{
    asked->deleteLater();
    if (asked != reply) {
        return;
    }
    reply = nullptr;
    Answer answer { asked->url(), {}, {} };
    const QString address = asked->request().url().toString();
    if (tooLarge) {
        answer.error
            = tr("%1 sent more than %2; it is not taken.")
                  .arg(address, QLocale::c().formattedDataSize(largest, 1, QLocale::DataSizeTraditionalFormat));
    } else if (asked->error() != QNetworkReply::NoError) {
        answer.error = tr("%1 could not be fetched: %2").arg(address, asked->errorString());
    } else {
        answer.body = asked->readAll();
    }
    emit finished(answer);
}

void BoundedFetch::abandon()
{
    if (QNetworkReply *dropped = std::exchange(reply, nullptr)) {
        dropped->abort();
    }
}

bool BoundedFetch::isRunning() const
{
    return reply != nullptr;
}
