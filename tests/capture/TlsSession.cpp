#include "TlsSession.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

QByteArray frame(quint8 type, quint8 flags, quint32 stream, QByteArrayView payload)
{
    const auto length = quint32(payload.size());
    const char head[9] = { char(length >> 16), char(length >> 8),  char(length),      char(type),  char(flags),
                           char(stream >> 24), char(stream >> 16), char(stream >> 8), char(stream) };
    return QByteArray(head, 9) + payload.toByteArray();
}

// HPACK: a literal header field without indexing, with a new name; fields of fewer than 127 bytes.
QByteArray literal(QByteArrayView name, QByteArrayView value)
{
    return char(0) + (char(name.size()) + name.toByteArray()) + (char(value.size()) + value.toByteArray());
}

int selectProtocol(SSL *, const uchar **out, uchar *outLength, const uchar *in, unsigned inLength, void *)
{
    // The client offers exactly one protocol: take it.
    if (inLength < 2 || in[0] + 1u > inLength) {
        return SSL_TLSEXT_ERR_NOACK;
    }
    *out = in + 1;
    *outLength = in[0];
    return SSL_TLSEXT_ERR_OK;
}

} // namespace

struct TlsSession::Ends
{
    SSL_CTX *clientContext = SSL_CTX_new(TLS_client_method());
    SSL_CTX *serverContext = SSL_CTX_new(TLS_server_method());
    SSL *client = nullptr, *server = nullptr;
    // Each end reads from in and writes to out.
    BIO *clientIn = BIO_new(BIO_s_mem()), *clientOut = BIO_new(BIO_s_mem());
    BIO *serverIn = BIO_new(BIO_s_mem()), *serverOut = BIO_new(BIO_s_mem());

    ~Ends()
    {
        SSL_free(client);
        SSL_free(server);
        SSL_CTX_free(clientContext);
        SSL_CTX_free(serverContext);
    }
};

TlsSession::TlsSession(Version version, const QByteArray &alpn)
    : ends(std::make_unique<Ends>())
{
    EVP_PKEY *key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    X509 *certificate = X509_new();
    require(key && certificate);
    X509_set_version(certificate, 2);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                               reinterpret_cast<const uchar *>("media.test"), -1, -1, 0);
    X509_set_issuer_name(certificate, X509_get_subject_name(certificate));
    X509_set_pubkey(certificate, key);
    require(X509_sign(certificate, key, EVP_sha256()) > 0);
    require(SSL_CTX_use_certificate(ends->serverContext, certificate) == 1
            && SSL_CTX_use_PrivateKey(ends->serverContext, key) == 1);
    X509_free(certificate);
    EVP_PKEY_free(key);

    const int tlsVersion = version == Version::Tls13 ? TLS1_3_VERSION : TLS1_2_VERSION;
    for (SSL_CTX *context : { ends->clientContext, ends->serverContext }) {
        SSL_CTX_set_min_proto_version(context, tlsVersion);
        SSL_CTX_set_max_proto_version(context, tlsVersion);
    }
    SSL_CTX_set_alpn_select_cb(ends->serverContext, selectProtocol, nullptr);
    SSL_CTX_set_keylog_callback(ends->clientContext, [](const SSL *ssl, const char *line) {
        static_cast<TlsSession *>(SSL_get_app_data(ssl))->keys += QByteArray(line) + '\n';
    });
    ends->client = SSL_new(ends->clientContext);
    ends->server = SSL_new(ends->serverContext);
    SSL_set_app_data(ends->client, this);
    SSL_set_bio(ends->client, ends->clientIn, ends->clientOut);
    SSL_set_bio(ends->server, ends->serverIn, ends->serverOut);
    const QByteArray protocols = char(alpn.size()) + alpn;
    SSL_set_alpn_protos(ends->client, reinterpret_cast<const uchar *>(protocols.constData()),
                        unsigned(protocols.size()));
    SSL_set_connect_state(ends->client);
    SSL_set_accept_state(ends->server);
    for (int round = 0; round < 8 && !(SSL_is_init_finished(ends->client) && SSL_is_init_finished(ends->server));
         ++round) {
        SSL_do_handshake(ends->client);
        pump();
        SSL_do_handshake(ends->server);
        pump();
    }
    require(SSL_is_init_finished(ends->client) && SSL_is_init_finished(ends->server));
}

TlsSession::~TlsSession() = default;

// Moves what each end wrote to the other, noting it as a flight.
void TlsSession::pump()
{
    for (const bool fromClient : { true, false }) {
        BIO *out = fromClient ? ends->clientOut : ends->serverOut;
        BIO *in = fromClient ? ends->serverIn : ends->clientIn;
        QByteArray bytes(qsizetype(BIO_ctrl_pending(out)), Qt::Uninitialized);
        if (bytes.isEmpty()) {
            continue;
        }
        require(BIO_read(out, bytes.data(), int(bytes.size())) == int(bytes.size()));
        BIO_write(in, bytes.constData(), int(bytes.size()));
        if (!flights.isEmpty() && flights.back().fromClient == fromClient) {
            flights.back().bytes += bytes;
        } else {
            flights.append({ fromClient, bytes });
        }
    }
}

void TlsSession::clientSends(QByteArrayView plaintext)
{
    require(SSL_write(ends->client, plaintext.data(), int(plaintext.size())) == int(plaintext.size()));
    pump();
    char sink[16384];
    while (SSL_read(ends->server, sink, sizeof sink) > 0) { }
    pump();
}

void TlsSession::serverSends(QByteArrayView plaintext)
{
    require(SSL_write(ends->server, plaintext.data(), int(plaintext.size())) == int(plaintext.size()));
    pump();
    char sink[16384];
    while (SSL_read(ends->client, sink, sizeof sink) > 0) { }
    pump();
}

QList<TlsSession::Flight> TlsSession::takeFlights()
{
    return std::exchange(flights, {});
}

QByteArray TlsSession::http2Request(QByteArrayView authority, QByteArrayView path)
{
    const QByteArray block = literal(":method", "GET") + literal(":scheme", "https") + literal(":authority", authority)
        + literal(":path", path) + literal("range", "bytes=0-");
    return "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n" + frame(0x4, 0, 0, {}) + frame(0x1, 0x5, 1, block);
}

QByteArray TlsSession::http2AnswerHead(quint32 stream, QByteArrayView contentType, qint64 length)
{
    const QByteArray block = literal(":status", "200") + literal("content-type", contentType)
        + literal("content-length", QByteArray::number(length));
    return frame(0x4, 0, 0, {}) + frame(0x4, 0x1, 0, {}) + frame(0x1, 0x4, stream, block);
}

QByteArray TlsSession::http2Data(quint32 stream, QByteArrayView payload, bool last)
{
    return frame(0x0, last ? 0x1 : 0x0, stream, payload);
}
