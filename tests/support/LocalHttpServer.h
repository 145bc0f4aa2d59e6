#pragma once

#include <QHostAddress>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class QTcpServer;

// A small HTTP/1.1 server on a loopback address (127.0.0.1 unless told) that serves the files of one folder, with HEAD
// and byte ranges. It runs on a thread of its own, so tests may block on a client while it answers.
// Query items choose how a request is answered, and may be combined:
//   echo       the body is the request's header block exactly as received (no file needed)
//   nolength   no Content-Length: the body ends when the connection closes
//   drip=N     the body goes out N bytes every 50 ms
//   drop=N     the connection is closed after N body bytes, whatever Content-Length said
//   stall      the headers go out, then nothing until the client gives up
//   cacheable  the response allows caching for an hour
//   status=N   the file's answer becomes an empty one with status N
//   cookie=C   answered 403 unless the request sends a Cookie header holding C
//   partial=N  answered as if "Range: bytes=N-" had been asked
//   encoding=E sent with "Content-Encoding: E"; the file is sent as it is (serve a compressed one)
// With https, it answers over TLS with a certificate of 127.0.0.1 that this process then trusts.
class LocalHttpServer final
{
public:
    explicit LocalHttpServer(const QString &folder, const QHostAddress &bindAddress = QHostAddress::LocalHost,
                             bool https = false);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    quint16 port() const;
    // From now on every answer, the ones under way too, goes at full speed, whatever its drip asks.
    void stopDripping();
    // How many answers went on from inside a file (a Range that starts past its first byte).
    int resumedAnswers() const;
    // "http://<address>:<port>/" + path, or https
    QString url(const QString &path) const;

private:
    QThread thread;
    QTcpServer *server = nullptr;
    QString root;
    QHostAddress address;
    const char *scheme;
    std::atomic<bool> dripping { true };
    std::atomic<int> resumed { 0 };

    friend class HttpConnection;
};
