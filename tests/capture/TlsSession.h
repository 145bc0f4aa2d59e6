#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <memory>

// A real TLS session between an OpenSSL client and server in memory, with the key log lines the client's
// library wrote: what a capture of the connection and a browser's key log would hold.
class TlsSession
{
public:
    enum class Version { Tls12, Tls13 };
    // One run of bytes on the wire.
    struct Flight
    {
        bool fromClient;
        QByteArray bytes;
    };

    // alpn: the one protocol offered and chosen ("h2", "http/1.1").
    TlsSession(Version version, const QByteArray &alpn);
    ~TlsSession();

    // The handshake, then these, each followed by what the peer answers: records of at most 16 KiB.
    void clientSends(QByteArrayView plaintext) { send(0, plaintext); }
    void serverSends(QByteArrayView plaintext) { send(1, plaintext); }

    // What went over the wire so far, in order; taken out.
    QList<Flight> takeFlights();
    QByteArray keyLog() const { return keys; }

    // HTTP/2 as a browser and server speak it: the preface, SETTINGS, a GET, and a 200 answer's head, each header
    // block as literals without indexing.
    static QByteArray http2Request(QByteArrayView authority, QByteArrayView path);
    // A further GET on stream, its header block padded with fields of 100 bytes each.
    static QByteArray http2Get(quint32 stream, QByteArrayView path, int padFields = 0);
    static QByteArray http2AnswerHead(quint32 stream, QByteArrayView contentType, qint64 length);
    static QByteArray http2Data(quint32 stream, QByteArrayView payload, bool last);

private:
    struct Ends;
    void pump();
    // from: 0 the client, 1 the server.
    void send(int from, QByteArrayView plaintext);

    std::unique_ptr<Ends> ends;
    QList<Flight> flights;
    QByteArray keys;
};
