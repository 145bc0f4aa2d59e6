#pragma once

#include <QString>
#include <QThread>

#include <memory>

class QTcpServer;

// A small HTTP/1.1 server on 127.0.0.1 that serves the files of one folder, with HEAD and byte
// ranges. It runs on a thread of its own, so tests may block on a client while it answers.
class LocalHttpServer final
{
public:
    explicit LocalHttpServer(const QString &folder);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    quint16 port() const;
    // "http://127.0.0.1:<port>/" + path
    QString url(const QString &path) const;

private:
    QThread thread;
    QTcpServer *server = nullptr;
    QString root;

    friend class HttpConnection;
};
