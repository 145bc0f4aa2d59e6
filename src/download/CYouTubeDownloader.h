#pragma once

#include <QByteArray>
#include <QFile>
#include <QNetworkReply>
#include <QString>
#include <QThread>

class QNetworkAccessManager;

// Fetches one address into a file, sending the captured request header again. The thread is never
// started: the transfer runs on the owner's thread through the network access manager's signals.
// The body goes to "<file>.part" as it arrives and becomes the file only once it is complete, so a
// failed or cancelled transfer leaves nothing behind and never replaces an existing file.
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

    // Issues the GET; finished() follows exactly once, never from inside this call.
    void startDownload();
    // Cancels at once, even while the server sends nothing.
    void abort();
    bool isAborted() const;
    // The QNetworkReply::NetworkError of the finished reply; 0 also when the file could not be written.
    int networkError() const;
    // Why the transfer failed (server, network or file); empty on success.
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
    void failWriting(const QString &reason);
    void commit();

    QString address;
    QByteArray requestHeader;
    QString fileName;
    bool aborted = false;
    bool writeFailed = false;
    QFile file;
    qint64 written = 0;
    int error = QNetworkReply::NoError;
    QString failure;
    QNetworkAccessManager *manager;
    QNetworkReply *reply = nullptr;
};
