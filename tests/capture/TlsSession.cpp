#include "TlsSession.h"

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

} // namespace

struct TlsSession::Ends
{
    // One context serves both roles.
    SSL_CTX *context = SSL_CTX_new(TLS_method());
    // [0] the client, [1] the server; each reads from in and writes to out.
    SSL *ssl[2] {};
    BIO *in[2] { BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()) };
    BIO *out[2] { BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()) };

    ~Ends()
    {
        SSL_free(ssl[0]);
        SSL_free(ssl[1]);
        SSL_CTX_free(context);
    }
};

TlsSession::TlsSession(Version version, const QByteArray &alpn)
    : ends(std::make_unique<Ends>())
{
    SSL_CTX *context = ends->context;
    EVP_PKEY *key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    X509 *certificate = X509_new();
    require(key && certificate);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    require(X509_sign(certificate, key, EVP_sha256()) > 0 && SSL_CTX_use_certificate(context, certificate) == 1
            && SSL_CTX_use_PrivateKey(context, key) == 1);
    X509_free(certificate);
    EVP_PKEY_free(key);

    const int tlsVersion = version == Version::Tls13 ? TLS1_3_VERSION : TLS1_2_VERSION;
    SSL_CTX_set_min_proto_version(context, tlsVersion);
    SSL_CTX_set_max_proto_version(context, tlsVersion);
    // The client offers exactly one protocol: take it.
    SSL_CTX_set_alpn_select_cb(
        context,
        [](SSL *, const uchar **out, uchar *outLength, const uchar *in, unsigned, void *) {
            *out = in + 1;
            *outLength = in[0];
            return SSL_TLSEXT_ERR_OK;
        },
        nullptr);
    SSL_CTX_set_keylog_callback(context, [](const SSL *ssl, const char *line) {
        if (!SSL_is_server(ssl)) {
            static_cast<TlsSession *>(SSL_get_app_data(ssl))->keys += QByteArray(line) + '\n';
        }
    });
    for (const int end : { 0, 1 }) {
        ends->ssl[end] = SSL_new(context);
        SSL_set_app_data(ends->ssl[end], this);
        SSL_set_bio(ends->ssl[end], ends->in[end], ends->out[end]);
    }
    const QByteArray protocols = char(alpn.size()) + alpn;
    SSL_set_alpn_protos(ends->ssl[0], reinterpret_cast<const uchar *>(protocols.constData()),
                        unsigned(protocols.size()));
    SSL_set_connect_state(ends->ssl[0]);
    SSL_set_accept_state(ends->ssl[1]);
    for (int round = 0; round < 8 && !(SSL_is_init_finished(ends->ssl[0]) && SSL_is_init_finished(ends->ssl[1]));
         ++round) {
        for (SSL *end : ends->ssl) {
            SSL_do_handshake(end);
            pump();
        }
    }
    require(SSL_is_init_finished(ends->ssl[0]) && SSL_is_init_finished(ends->ssl[1]));
}

TlsSession::~TlsSession() = default;

// Moves what each end wrote to the other, noting it as a flight.
void TlsSession::pump()
{
    for (const int from : { 0, 1 }) {
        QByteArray bytes(qsizetype(BIO_ctrl_pending(ends->out[from])), Qt::Uninitialized);
        if (bytes.isEmpty()) {
            continue;
        }
        require(BIO_read(ends->out[from], bytes.data(), int(bytes.size())) == int(bytes.size()));
        BIO_write(ends->in[1 - from], bytes.constData(), int(bytes.size()));
        if (!flights.isEmpty() && flights.back().fromClient == (from == 0)) {
            flights.back().bytes += bytes;
        } else {
            flights.append({ from == 0, bytes });
        }
    }
}

void TlsSession::send(int from, QByteArrayView plaintext)
{
    require(SSL_write(ends->ssl[from], plaintext.data(), int(plaintext.size())) == int(plaintext.size()));
    pump();
    char sink[16384];
    while (SSL_read(ends->ssl[1 - from], sink, sizeof sink) > 0) { }
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

QByteArray TlsSession::http2Get(quint32 stream, QByteArrayView path, int padFields)
{
    QByteArray block = literal(":method", "GET") + literal(":scheme", "https") + literal(":authority", "media.test")
        + literal(":path", path);
    for (int field = 0; field < padFields; ++field) {
        block += literal("x-pad", QByteArray(100, 'p'));
    }
    return frame(0x1, 0x5, stream, block);
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
