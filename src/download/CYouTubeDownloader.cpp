#include "CYouTubeDownloader.h"

#include "DownloadTexts.h"
#include "Platform.h"
#include "Trace.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkRequest>

#include <filesystem>
#include <system_error>

namespace {

// Bounds the memory a transfer holds, whatever the size of the body.
constexpr qint64 ReadBufferSize = 1024 * 1024;

bool isErrorPage(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
}

} // namespace

CYouTubeDownloader::CYouTubeDownloader()
    : manager(new QNetworkAccessManager(this))
{
    auto *cache = new QNetworkDiskCache(manager);
    cache->setCacheDirectory(Platform::standardFolder(Platform::Folder::Cache));
    manager->setCache(cache);
    connect(manager, &QNetworkAccessManager::finished, this, &CYouTubeDownloader::onDownloadFinished);
}

CYouTubeDownloader::~CYouTubeDownloader()
{
    if (reply != nullptr) {
        manager->disconnect(this);
        reply->disconnect(this);
        reply->abort();
        file.remove();
    }
}

void CYouTubeDownloader::setUrl(const QString &url)
{
    address = url;
}

QString CYouTubeDownloader::url() const
{
    return address;
}

void CYouTubeDownloader::setRequestHeader(const QByteArray &header)
{
    requestHeader = header;
}

void CYouTubeDownloader::setFileName(const QString &path)
{
    fileName = path;
}

void CYouTubeDownloader::startDownload()
{
    QNetworkRequest request(QUrl::fromEncoded(address.toLatin1()));
    for (const auto &[name, value] : DownloadTexts::rawHeaderPairs(requestHeader)) {
        qDebug() << name << "*******" << value;
        request.setRawHeader(name, value);
    }
    qDebug() << "-------Header------";
    qDebug() << requestHeader;
    qDebug() << request.url();

    // A media body in the disk cache would be written to disk twice, and a cached copy must never
    // answer for the replayed request.
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    file.setFileName(fileName + QStringLiteral(".part"));
    if (!aborted && !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        failWriting(file.errorString());
    }
    if (aborted || writeFailed) {
        QMetaObject::invokeMethod(this, &CYouTubeDownloader::finished, Qt::QueuedConnection);
        return;
    }
    reply = manager->get(request);
    reply->setReadBufferSize(ReadBufferSize);
    connect(reply, &QNetworkReply::downloadProgress, this, &CYouTubeDownloader::onDownloadProgress);
    connect(reply, &QNetworkReply::errorOccurred, this, &CYouTubeDownloader::onError);
    connect(reply, &QNetworkReply::readyRead, this, &CYouTubeDownloader::onReadyRead);
}

void CYouTubeDownloader::abort()
{
    aborted = true;
    if (reply != nullptr) {
        reply->abort();
    }
}

bool CYouTubeDownloader::isAborted() const
{
    return aborted;
}

int CYouTubeDownloader::networkError() const
{
    return error;
}

QString CYouTubeDownloader::errorText() const
{
    return failure;
}

void CYouTubeDownloader::logStatus(const QString &text)
{
    qDebug() << text;
}

void CYouTubeDownloader::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    // Without Content-Length the network layer still reports the received count as the total once at
    // the end; that is not a known size.
    if (bytesTotal > 0 && reply != nullptr && reply->header(QNetworkRequest::ContentLengthHeader).isValid()) {
        emit OnProgress(quint64(bytesReceived), true, quint64(bytesTotal));
    }
}

void CYouTubeDownloader::onError(QNetworkReply::NetworkError code)
{
    qDebug() << "ERRROROR!!!!!!!! " << code;
}

void CYouTubeDownloader::onReadyRead()
{
    writeAvailable(reply);
}

void CYouTubeDownloader::writeAvailable(QNetworkReply *source)
{
    const QByteArray data = source->readAll();
    if (writeFailed || isErrorPage(source)) {
        return;
    }
    written += data.size();
    // A short write is retried so that the file system names its reason (a full disk) on the next one.
    for (qsizetype done = 0; done < data.size();) {
        const qint64 count = file.write(data.constData() + done, data.size() - done);
        if (count <= 0) {
            failWriting(file.errorString());
            source->abort();
            return;
        }
        done += count;
    }
}

void CYouTubeDownloader::onDownloadFinished(QNetworkReply *finishedReply)
{
    qDebug() << "finished!!" << finishedReply->errorString();
    if (!writeFailed) {
        error = finishedReply->error();
    }
    if (error == QNetworkReply::NoError && !writeFailed) {
        writeAvailable(finishedReply);
        checkComplete(finishedReply);
    }
    file.close();
    if (error == QNetworkReply::NoError && !writeFailed) {
        commit();
    } else if (error != QNetworkReply::NoError && failure.isEmpty()) {
        failure = finishedReply->errorString();
    }
    if (error != QNetworkReply::NoError || writeFailed) {
        file.remove();
    }
    finishedReply->deleteLater();
    reply = nullptr;
    emit finished();
}

void CYouTubeDownloader::checkComplete(const QNetworkReply *finishedReply)
{
    // A status the network layer accepts without a body (304 to a replayed conditional request) is no
    // download either.
    if (isErrorPage(finishedReply)) {
        error = QNetworkReply::UnknownContentError;
        failure = QStringLiteral("The server answered %1")
                      .arg(finishedReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
        traceError() << "checkComplete" << failure;
        return;
    }
    // A connection closed in mid-body can still end without an error; a body shorter than announced is
    // never a finished download. A decoded body has no relation to the announced length.
    const QVariant length = finishedReply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && !finishedReply->hasRawHeader("Content-Encoding") && written != length.toLongLong()) {
        error = QNetworkReply::RemoteHostClosedError;
        failure = QStringLiteral("The connection closed after %1 of %2 bytes").arg(written).arg(length.toLongLong());
        traceError() << "checkComplete" << failure;
    }
}

void CYouTubeDownloader::failWriting(const QString &reason)
{
    writeFailed = true;
    failure = QStringLiteral("The file %1 could not be written: %2").arg(QDir::toNativeSeparators(fileName), reason);
    traceError() << "[CYouTubeDownloader::onDownloadFinished] Error while writing reply to file" << failure;
}

void CYouTubeDownloader::commit()
{
    // Replaces an existing target in one step, on every platform.
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(file.fileName().toStdU16String()),
                            std::filesystem::path(fileName.toStdU16String()), code);
    if (code) {
        failWriting(QString::fromStdString(code.message()));
    }
}
