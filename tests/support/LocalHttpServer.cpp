#include "LocalHttpServer.h"

#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr int DripInterval = 50;

QSslConfiguration trustedTls()
{
    static const QSslConfiguration tls = [] {
        const QString files = QStringLiteral(CORVANE_SOURCE_DIR "/tests/data/https/server.");
        QSslConfiguration made = QSslConfiguration::defaultConfiguration();
        made.setLocalCertificate(QSslCertificate(readFile(files + QStringLiteral("pem"))));
        made.setPrivateKey(QSslKey(readFile(files + QStringLiteral("key")), QSsl::Ec));
        made.addCaCertificate(made.localCertificate());
        QSslConfiguration::setDefaultConfiguration(made);
        return made;
    }();
    return tls;
}

} // namespace

class HttpConnection final : public QObject
{
public:
    HttpConnection(QTcpSocket *client, LocalHttpServer *server)
        : QObject(client)
        , socket(client)
        , owner(server)
    {
        connect(socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void onReadyRead()
    {
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QByteArray header = buffer.left(end + 4);
        buffer.remove(0, end + 4);
        const QList<QByteArray> lines = header.trimmed().split('\n');
        const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
        QByteArray range;
        for (const QByteArray &line : lines.mid(1)) {
            if (line.toLower().startsWith("range:")) {
                range = line.mid(6).trimmed();
            }
        }
        respond(request.value(0), request.value(1), range, header);
    }

    void respond(const QByteArray &method, const QByteArray &rawTarget, QByteArray range, const QByteArray &header)
    {
        const QUrlQuery query(QUrl::fromEncoded(rawTarget));
        if (query.hasQueryItem(QStringLiteral("partial"))) {
            range = "bytes=" + query.queryItemValue(QStringLiteral("partial")).toLatin1() + '-';
        }
        if (query.hasQueryItem(QStringLiteral("echo"))) {
            sendBody(method, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n", header, query);
            return;
        }
        const QString relative = QUrl(QUrl::fromPercentEncoding(rawTarget)).path().mid(1);
        QFile file(owner->root + QLatin1Char('/') + relative);
        if (relative.contains(QStringLiteral("..")) || !QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        const qint64 size = file.size();
        qint64 first = 0;
        qint64 last = size - 1;
        static const QRegularExpression bytes(QStringLiteral("^bytes=(\\d*)-(\\d*)$"));
        const auto match = bytes.match(QString::fromLatin1(range));
        const bool partial = match.hasMatch();
        if (partial) {
            if (!match.captured(1).isEmpty()) {
                first = match.captured(1).toLongLong();
                owner->resumed += first > 0 ? 1 : 0;
            }
            if (!match.captured(2).isEmpty()) {
                last = qMin(last, match.captured(2).toLongLong());
            }
        }
        const QString mime = QMimeDatabase().mimeTypeForFile(file.fileName()).name();
        QByteArray head = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        if (query.hasQueryItem(QStringLiteral("status"))) {
            head = "HTTP/1.1 " + query.queryItemValue(QStringLiteral("status")).toLatin1() + " Status\r\n";
            last = first - 1;
        }
        const QByteArray cookie = query.queryItemValue(QStringLiteral("cookie")).toLatin1();
        const qsizetype cookieLine = header.indexOf("\nCookie: ");
        if (!cookie.isEmpty()
            && (cookieLine < 0
                || !header.mid(cookieLine, header.indexOf('\n', cookieLine + 1) - cookieLine).contains(cookie))) {
            head = "HTTP/1.1 403 Forbidden\r\n";
            last = first - 1;
        }
        head += "Content-Type: " + mime.toLatin1() + "\r\n";
        head += "Accept-Ranges: bytes\r\n";
        if (partial) {
            head += "Content-Range: bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + '/'
                + QByteArray::number(size) + "\r\n";
        }
        QByteArray body;
        if (first <= last) {
            file.seek(first);
            body = file.read(last - first + 1);
        }
        sendBody(method, head, body, query);
    }

    // Sends the head (status line and headers so far) and the body, shaped by the query's modes.
    void sendBody(const QByteArray &method, QByteArray head, QByteArray body, const QUrlQuery &query)
    {
        if (query.hasQueryItem(QStringLiteral("encoding"))) {
            head += "Content-Encoding: " + query.queryItemValue(QStringLiteral("encoding")).toLatin1() + "\r\n";
        }
        if (!query.hasQueryItem(QStringLiteral("nolength"))) {
            head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        }
        if (query.hasQueryItem(QStringLiteral("cacheable"))) {
            head += "Cache-Control: max-age=3600\r\nLast-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n";
        }
        socket->write(head + "Connection: close\r\n\r\n");
        if (method == "HEAD") {
            socket->disconnectFromHost();
            return;
        }
        if (query.hasQueryItem(QStringLiteral("stall"))) {
            return;
        }
        if (query.hasQueryItem(QStringLiteral("drop"))) {
            body.truncate(query.queryItemValue(QStringLiteral("drop")).toLongLong());
        }
        const qsizetype chunk = owner->dripping ? query.queryItemValue(QStringLiteral("drip")).toLongLong() : 0;
        if (chunk <= 0) {
            socket->write(body);
            socket->disconnectFromHost();
            return;
        }
        pending = body;
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, chunk] {
            const qsizetype now = owner->dripping ? chunk : pending.size();
            socket->write(pending.left(now));
            pending.remove(0, qMin(now, pending.size()));
            if (pending.isEmpty()) {
                socket->disconnectFromHost();
            }
        });
        timer->start(DripInterval);
    }

    QTcpSocket *socket;
    LocalHttpServer *owner;
    QByteArray buffer;
    QByteArray pending;
};

LocalHttpServer::LocalHttpServer(const QString &folder, const QHostAddress &bindAddress, bool https)
    : root(folder)
    , address(bindAddress)
    , scheme(https ? "https" : "http")
{
    server = https ? new QSslServer : new QTcpServer;
    if (https) {
        static_cast<QSslServer *>(server)->setSslConfiguration(trustedTls());
    }
    server->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
    // Emitted for a TLS connection only once its handshake is done.
    QObject::connect(server, &QTcpServer::pendingConnectionAvailable, server, [this] {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            new HttpConnection(socket, this);
        }
    });
    thread.start();
    QMetaObject::invokeMethod(
        server, [this] { server->listen(address); }, Qt::BlockingQueuedConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    thread.quit();
    thread.wait();
}

int LocalHttpServer::resumedAnswers() const
{
    return resumed;
}

void LocalHttpServer::stopDripping()
{
    dripping = false;
}

quint16 LocalHttpServer::port() const
{
    return server->serverPort();
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("%1://%2:%3/%4").arg(QLatin1String(scheme), address.toString()).arg(port()).arg(path);
}
