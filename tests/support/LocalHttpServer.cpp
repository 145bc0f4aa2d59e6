#include "LocalHttpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

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
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
        QByteArray range;
        for (const QByteArray &line : lines.mid(1)) {
            if (line.toLower().startsWith("range:")) {
                range = line.mid(6).trimmed();
            }
        }
        respond(request.value(0), QUrl::fromPercentEncoding(request.value(1)), range);
    }

    void respond(const QByteArray &method, const QString &target, const QByteArray &range)
    {
        const QString relative = QUrl(target).path().mid(1);
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
            }
            if (!match.captured(2).isEmpty()) {
                last = qMin(last, match.captured(2).toLongLong());
            }
        }
        const QString mime = QMimeDatabase().mimeTypeForFile(file.fileName()).name();
        QByteArray head = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        head += "Content-Type: " + mime.toLatin1() + "\r\n";
        head += "Accept-Ranges: bytes\r\n";
        head += "Content-Length: " + QByteArray::number(qMax<qint64>(0, last - first + 1)) + "\r\n";
        if (partial) {
            head += "Content-Range: bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + '/'
                + QByteArray::number(size) + "\r\n";
        }
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        if (method != "HEAD" && first <= last) {
            file.seek(first);
            socket->write(file.read(last - first + 1));
        }
        socket->disconnectFromHost();
    }

    QTcpSocket *socket;
    LocalHttpServer *owner;
    QByteArray buffer;
};

LocalHttpServer::LocalHttpServer(const QString &folder)
    : root(folder)
{
    server = new QTcpServer;
    server->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, server, &QObject::deleteLater);
    QObject::connect(server, &QTcpServer::newConnection, server, [this] {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            new HttpConnection(socket, this);
        }
    });
    thread.start();
    QMetaObject::invokeMethod(
        server, [this] { server->listen(QHostAddress::LocalHost); }, Qt::BlockingQueuedConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    thread.quit();
    thread.wait();
}

quint16 LocalHttpServer::port() const
{
    return server->serverPort();
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(port()).arg(path);
}
