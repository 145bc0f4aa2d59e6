#pragma once

#include <QHash>
#include <QMutex>
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

    // Ends the connection after this many body bytes of the named file (a server failing mid-transfer).
    void cutAfter(const QString &path, qint64 bytes);

private:
    QThread thread;
    QTcpServer *server = nullptr;
    QString root;
    mutable QMutex mutex;
    QHash<QString, qint64> cuts;

    friend class HttpConnection;
};
