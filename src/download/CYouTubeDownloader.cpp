#include "CYouTubeDownloader.h"

#include "BodyDecoder.h"
#include "DownloadTexts.h"
#include "Platform.h"
#include "Trace.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// Bounds the memory a transfer holds, whatever the size of the body.
constexpr qint64 ReadBufferSize = 1024 * 1024;
constexpr std::chrono::milliseconds DefaultSilenceLimit { 30000 };
constexpr int PartialContent = 206;

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isErrorPage(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
}

} // namespace

CYouTubeDownloader::CYouTubeDownloader()
    : manager(new QNetworkAccessManager(this))
    , silence(new QTimer(this))
{
    auto *cache = new QNetworkDiskCache(manager);
    cache->setCacheDirectory(Platform::standardFolder(Platform::Folder::Cache));
    manager->setCache(cache);
    connect(manager, &QNetworkAccessManager::finished, this, &CYouTubeDownloader::onDownloadFinished);
    silence->setSingleShot(true);
    silence->setInterval(DefaultSilenceLimit);
    connect(silence, &QTimer::timeout, this, [this] {
        fail(QNetworkReply::TimeoutError,
             QStringLiteral("Nothing arrived for %1 s: the server stopped sending.")
                 .arg(double(silence->interval()) / 1000.0));
    });
}

CYouTubeDownloader::~CYouTubeDownloader()
{
    if (reply != nullptr) {
        manager->disconnect(this);
        reply->disconnect(this);
        reply->abort();
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

void CYouTubeDownloader::setReplace(UserFileSave::Replace agreed)
{
    replace = agreed;
}

void CYouTubeDownloader::setSilenceLimit(std::chrono::milliseconds limit)
{
    silence->setInterval(limit);
}

void CYouTubeDownloader::startDownload()
{
    QNetworkRequest request(QUrl::fromEncoded(address.toLatin1()));
    for (const auto &[name, value] : DownloadTexts::replayHeaderPairs(requestHeader)) {
        // One "Name: value" string, the form in which the log hides credentials.
        qDebug() << name + ": " + value;
        request.setRawHeader(name, value);
    }
    qDebug() << "-------Header------";
    qDebug() << requestHeader;
    qDebug() << request.url();

    // A media body in the disk cache would be written to disk twice, and a cached copy must never
    // answer for the replayed request.
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    if (!aborted) {
        save = std::make_unique<UserFileSave>(fileName, replace);
        output = save->open();
        if (output == nullptr) {
            failure = save->errorString();
        }
    }
    if (aborted || output == nullptr) {
        QMetaObject::invokeMethod(this, &CYouTubeDownloader::finished, Qt::QueuedConnection);
        return;
    }
    reply = manager->get(request);
    reply->setReadBufferSize(ReadBufferSize);
    connect(reply, &QNetworkReply::downloadProgress, this, &CYouTubeDownloader::onDownloadProgress);
    connect(reply, &QNetworkReply::errorOccurred, this, &CYouTubeDownloader::onError);
    connect(reply, &QNetworkReply::readyRead, this, &CYouTubeDownloader::onReadyRead);
    connect(reply, &QNetworkReply::metaDataChanged, silence, qOverload<>(&QTimer::start));
    silence->start();
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
    silence->start();
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
    silence->start();
    writeAvailable(reply);
}

void CYouTubeDownloader::writeAvailable(QNetworkReply *source)
{
    const QByteArray data = source->readAll();
    if (!failure.isEmpty() || isErrorPage(source)) {
        return;
    }
    received += data.size();
    if (!decoder) {
        const QByteArray encoding = source->rawHeader("Content-Encoding");
        decoder = std::make_unique<BodyDecoder>(encoding);
        if (!decoder->isSupported()) {
            fail(QNetworkReply::UnknownContentError,
                 QStringLiteral("The server sent the stream encoded as \"%1\", which cannot be decoded.")
                     .arg(QString::fromLatin1(encoding)));
            return;
        }
    }
    QByteArray decoded;
    if (!decoder->decode(data, decoded)) {
        fail(QNetworkReply::UnknownContentError,
             QStringLiteral("The stream the server sent as \"%1\" is damaged.")
                 .arg(QString::fromLatin1(source->rawHeader("Content-Encoding"))));
        return;
    }
    // A short write is retried so that the file system names its reason (a full disk) on the next one.
    for (qsizetype done = 0; done < decoded.size();) {
        const qint64 count = output->write(decoded.constData() + done, decoded.size() - done);
        if (count <= 0) {
            failWriting(output->errorString());
            return;
        }
        done += count;
    }
}

void CYouTubeDownloader::onDownloadFinished(QNetworkReply *finishedReply)
{
    qDebug() << "finished!!" << finishedReply->errorString();
    silence->stop();
    // Nothing is left to stop: a failure found from here on only decides the outcome.
    reply = nullptr;
    if (failure.isEmpty()) {
        error = finishedReply->error();
        if (error != QNetworkReply::NoError) {
            failure = finishedReply->errorString();
        } else {
            writeAvailable(finishedReply);
            checkComplete(finishedReply);
        }
    }
    if (failure.isEmpty() && !save->commit()) {
        failure = save->errorString();
    }
    if (!failure.isEmpty()) {
        save->discard();
    }
    output = nullptr;
    finishedReply->deleteLater();
    emit finished();
}

void CYouTubeDownloader::checkComplete(const QNetworkReply *finishedReply)
{
    if (!failure.isEmpty()) {
        return;
    }
    // A status the network layer accepts without a body (304 to a replayed conditional request) is no
    // download either.
    if (isErrorPage(finishedReply)) {
        fail(QNetworkReply::UnknownContentError, QStringLiteral("The server answered %1").arg(statusOf(finishedReply)));
        return;
    }
    qint64 expected = -1;
    const QVariant length = finishedReply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid()) {
        expected = length.toLongLong();
    }
    // Some servers answer with a part even when none was asked for; only the whole resource is a save.
    if (statusOf(finishedReply) == PartialContent) {
        const QByteArray value = finishedReply->rawHeader("Content-Range");
        const auto range = DownloadTexts::parseContentRange(value);
        if (!range || range->first != 0 || range->total < 0 || range->last != range->total - 1) {
            fail(QNetworkReply::UnknownContentError,
                 QStringLiteral("The server sent only a part of the stream (%1).").arg(QString::fromLatin1(value)));
            return;
        }
        expected = range->total;
    }
    // A connection closed in mid-body can still end without an error; a body shorter than announced is
    // never a finished download.
    if (expected >= 0 && received != expected) {
        fail(QNetworkReply::RemoteHostClosedError,
             QStringLiteral("The connection closed after %1 of %2 bytes").arg(received).arg(expected));
        return;
    }
    if (decoder && !decoder->isComplete()) {
        fail(QNetworkReply::RemoteHostClosedError, QStringLiteral("The compressed stream ended early."));
    }
}

void CYouTubeDownloader::fail(int code, const QString &reason)
{
    if (!failure.isEmpty()) {
        return;
    }
    error = code;
    failure = reason;
    traceError() << "CYouTubeDownloader" << failure;
    silence->stop();
    if (reply != nullptr) {
        reply->abort();
    }
}

void CYouTubeDownloader::failWriting(const QString &reason)
{
    traceError() << "[CYouTubeDownloader::onDownloadFinished] Error while writing reply to file";
    fail(QNetworkReply::NoError,
         QStringLiteral("The file %1 could not be written: %2").arg(QDir::toNativeSeparators(fileName), reason));
}
