#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <utility>

class QNetworkAccessManager;
class QNetworkReply;

// One GET at a time of a small file: a playlist, a page, a release's files. Certificates are checked, no
// redirect leads from https to http, a server that stays silent for the stall timeout fails the fetch, and an
// answer larger than the limit is given up rather than held in memory.
class BoundedFetch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoundedFetch)

public:
    struct Answer
    {
        QUrl url;
        QByteArray body;
        // Empty when the whole body arrived.
        QString error;
    };
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    explicit BoundedFetch(qint64 largest, QObject *parent = nullptr);

    // finished() follows once, never from inside get(), unless abandon() or a newer get() comes first.
    void get(const QUrl &url, std::chrono::milliseconds stallTimeout, const Headers &headers = {});
    void abandon();
    bool isRunning() const;

signals:
    void finished(const BoundedFetch::Answer &answer);

private:
    void end(QNetworkReply *asked);

    QNetworkAccessManager *network;
    QNetworkReply *reply = nullptr;
    qint64 largest;
    bool tooLarge = false;
};
