#pragma once

#include "UserFileSave.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QString>
#include <QThread>

#include <chrono>
#include <memory>

class BodyDecoder;
class QIODevice;
class QNetworkAccessManager;
class QTimer;

// Fetches one whole resource into a file, sending the captured request header again (without what would
// make the server send a part, nothing, or a compressed body). The thread is never started: the transfer
// runs on the owner's thread through the network access manager's signals. The body is written through
// UserFileSave as it arrives and appears under the file name only once it is complete and as long as
// announced, so a failed or cancelled transfer leaves nothing behind and never replaces an existing file.
class CYouTubeDownloader final : public QThread
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CYouTubeDownloader)

public:
    CYouTubeDownloader();
    ~CYouTubeDownloader() override;

    void setUrl(const QString &url);
    QString url() const;
    void setRequestHeader(const QByteArray &header);
    void setFileName(const QString &path);
    // Whether an existing file of that name may be replaced; it never is unless the user agreed.
    void setReplace(UserFileSave::Replace replace);
    // A transfer that receives nothing for this long fails.
    void setSilenceLimit(std::chrono::milliseconds limit);

    // Issues the GET; finished() follows exactly once, never from inside this call.
    void startDownload();
    // Cancels at once, even while the server sends nothing.
    void abort();
    bool isAborted() const;
    // The QNetworkReply::NetworkError of the finished reply, or of what the worker found wrong with the answer
    // (a part of the resource, a body shorter than announced, an unknown encoding, silence); 0 also when the
    // file could not be written.
    int networkError() const;
    // Why the transfer failed (server, network, answer or file); empty on success.
    QString errorText() const;

    virtual void logStatus(const QString &text);

signals:
    void OnProgress(unsigned long long nBytesRead, bool bGotFileSize, unsigned long long nFileSize);
    void finished();

private:
    void onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void onDownloadFinished(QNetworkReply *finishedReply);
    void onError(QNetworkReply::NetworkError code);
    void onReadyRead();
    void writeAvailable(QNetworkReply *source);
    void checkComplete(const QNetworkReply *finishedReply);
    // The first failure is the one reported; the transfer stops at once.
    void fail(int code, const QString &reason);
    void failWriting(const QString &reason);

    QString address;
    QByteArray requestHeader;
    QString fileName;
    UserFileSave::Replace replace = UserFileSave::Replace::Refuse;
    bool aborted = false;
    std::unique_ptr<UserFileSave> save;
    QIODevice *output = nullptr;
    std::unique_ptr<BodyDecoder> decoder;
    // As it came over the connection, before decoding: what Content-Length counts.
    qint64 received = 0;
    int error = QNetworkReply::NoError;
    QString failure;
    QNetworkAccessManager *manager;
    QNetworkReply *reply = nullptr;
    QTimer *silence;
};
