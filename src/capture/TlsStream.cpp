#include "TlsStream.h"

#include "KeyLog.h"
#include "Trace.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <algorithm>
#include <cstring>

using enum HttpParser::Direction;

namespace {

constexpr uchar changeCipherSpec = 20, alert = 21, handshakeRecord = 22, applicationData = 23;
constexpr uchar clientHelloType = 1, serverHelloType = 2, keyUpdateType = 24;
constexpr qsizetype headerSize = 5, tagSize = 16, nonceSize = 12, explicitNonceSize = 8;
// The encrypted handshake of TLS 1.3 takes a few records; many more that do not open mean wrong keys.
constexpr int handshakeRecordLimit = 64;
// Hellos and KeyUpdates are gathered whole; nothing sane comes near this.
constexpr qsizetype messageLimit = 64 * 1024;
constexpr char http2Preface[] = "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n";
// SHA-256 of "HelloRetryRequest", the server random that marks a retry request.
constexpr uchar helloRetryRandom[32]
    = { 0xcf, 0x21, 0xad, 0x74, 0xe5, 0x9a, 0x61, 0x11, 0xbe, 0x1d, 0x8c, 0x02, 0x1e, 0x65, 0xb8, 0x91,
        0xc2, 0xa2, 0x11, 0x16, 0x7a, 0xbb, 0x8c, 0x5e, 0x07, 0x9e, 0x09, 0xe2, 0xc8, 0xa8, 0x33, 0x9c };

struct Suite
{
    quint16 id;
    bool tls13;
    const EVP_CIPHER *(*cipher)();
    int keyLength;
    // TLS 1.2 GCM carries 8 bytes of the nonce in each record; the rest XOR the sequence into a 12-byte IV.
    bool explicitNonce;
    const char *digest;
    int hashLength;
};

constexpr Suite suites[] = {
    { 0x1301, true, EVP_aes_128_gcm, 16, false, "SHA256", 32 },
    { 0x1302, true, EVP_aes_256_gcm, 32, false, "SHA384", 48 },
    { 0x1303, true, EVP_chacha20_poly1305, 32, false, "SHA256", 32 },
    { 0xc02b, false, EVP_aes_128_gcm, 16, true, "SHA256", 32 },
    { 0xc02f, false, EVP_aes_128_gcm, 16, true, "SHA256", 32 },
    { 0x009c, false, EVP_aes_128_gcm, 16, true, "SHA256", 32 },
    { 0xc02c, false, EVP_aes_256_gcm, 32, true, "SHA384", 48 },
    { 0xc030, false, EVP_aes_256_gcm, 32, true, "SHA384", 48 },
    { 0x009d, false, EVP_aes_256_gcm, 32, true, "SHA384", 48 },
    { 0xcca8, false, EVP_chacha20_poly1305, 32, false, "SHA256", 32 },
    { 0xcca9, false, EVP_chacha20_poly1305, 32, false, "SHA256", 32 },
};

const Suite *findSuite(quint16 id, bool tls13)
{
    const auto found = std::find_if(std::begin(suites), std::end(suites),
                                    [&](const Suite &suite) { return suite.id == id && suite.tls13 == tls13; });
    return found == std::end(suites) ? nullptr : found;
}

quint32 bigEndian(const uchar *data, int width)
{
    quint32 value = 0;
    for (int i = 0; i < width; ++i) {
        value = value << 8 | data[i];
    }
    return value;
}

// Length-prefixed fields of a handshake message; reading past the end turns ok() false and yields nothing.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : rest(bytes)
    { }

    bool ok() const { return good; }
    bool atEnd() const { return rest.isEmpty(); }
    QByteArrayView take(qsizetype size)
    {
        if (!good || size > rest.size()) {
            good = false;
            return {};
        }
        const QByteArrayView taken = rest.first(size);
        rest = rest.sliced(size);
        return taken;
    }
    quint32 number(int width)
    {
        const QByteArrayView bytes = take(width);
        return good ? bigEndian(reinterpret_cast<const uchar *>(bytes.data()), width) : 0;
    }
    QByteArrayView vector(int lengthWidth) { return take(number(lengthWidth)); }

private:
    QByteArrayView rest;
    bool good = true;
};

struct KdfContextFree
{
    void operator()(EVP_KDF_CTX *context) const { EVP_KDF_CTX_free(context); }
};

QByteArray derive(const char *name, OSSL_PARAM *params, int length)
{
    EVP_KDF *kdf = EVP_KDF_fetch(nullptr, name, nullptr);
    const std::unique_ptr<EVP_KDF_CTX, KdfContextFree> context(kdf != nullptr ? EVP_KDF_CTX_new(kdf) : nullptr);
    EVP_KDF_free(kdf);
    QByteArray out(length, Qt::Uninitialized);
    if (!context || EVP_KDF_derive(context.get(), reinterpret_cast<uchar *>(out.data()), size_t(length), params) != 1) {
        return {};
    }
    return out;
}

OSSL_PARAM octets(const char *key, QByteArrayView bytes)
{
    return OSSL_PARAM_construct_octet_string(key, const_cast<char *>(bytes.data()), size_t(bytes.size()));
}

// HKDF-Expand-Label with an empty context.
QByteArray expandLabel(const Suite &suite, QByteArrayView secret, QByteArrayView label, int length)
{
    int mode = EVP_KDF_HKDF_MODE_EXPAND_ONLY;
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_MODE, &mode),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, const_cast<char *>(suite.digest), 0),
        octets(OSSL_KDF_PARAM_KEY, secret),
        octets(OSSL_KDF_PARAM_PREFIX, "tls13 "),
        octets(OSSL_KDF_PARAM_LABEL, label),
        OSSL_PARAM_construct_end(),
    };
    return derive("TLS13-KDF", params, length);
}

QByteArray tls12KeyBlock(const Suite &suite, QByteArrayView masterSecret, QByteArrayView randoms, int length)
{
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, const_cast<char *>(suite.digest), 0),
        octets(OSSL_KDF_PARAM_SECRET, masterSecret),
        octets(OSSL_KDF_PARAM_SEED, randoms),
        OSSL_PARAM_construct_end(),
    };
    return derive("TLS1-PRF", params, length);
}

} // namespace

// One direction's record protection. The context keeps its key; each record only sets a new nonce.
struct TlsAead
{
    EVP_CIPHER_CTX *context = EVP_CIPHER_CTX_new();
    uchar iv[nonceSize] {};
    bool explicitNonce = false;

    TlsAead() = default;
    ~TlsAead() { EVP_CIPHER_CTX_free(context); }
    Q_DISABLE_COPY_MOVE(TlsAead)

    bool init(const Suite &suite, QByteArrayView key, QByteArrayView writeIv)
    {
        explicitNonce = suite.explicitNonce;
        std::memcpy(iv, writeIv.data(), std::min<size_t>(writeIv.size(), nonceSize));
        return context != nullptr && key.size() == suite.keyLength
            && EVP_DecryptInit_ex(context, suite.cipher(), nullptr, reinterpret_cast<const uchar *>(key.data()),
                                  nullptr)
            == 1;
    }

    // in: ciphertext followed by the tag.
    bool open(const uchar *nonce, const uchar *aad, int aadSize, const uchar *in, int size, uchar *out)
    {
        int written = 0;
        int last = 0;
        return EVP_DecryptInit_ex(context, nullptr, nullptr, nullptr, nonce) == 1
            && EVP_DecryptUpdate(context, nullptr, &written, aad, aadSize) == 1
            && (size == 0 || EVP_DecryptUpdate(context, out, &written, in, size) == 1)
            && EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_AEAD_SET_TAG, int(tagSize), const_cast<uchar *>(in + size)) == 1
            && EVP_DecryptFinal_ex(context, out + written, &last) == 1;
    }
};

bool TlsStream::startsClientHello(const uchar *data, qsizetype size)
{
    return size >= 3 && data[0] == handshakeRecord && data[1] == 3 && data[2] >= 1 && data[2] <= 4
        && (size < 6 || data[5] == clientHelloType);
}

TlsStream::TlsStream(KeyLog &keys, TlsPlaintextSink &plaintextSink, qsizetype heldBytesLimit)
    : keyLog(keys)
    , sink(plaintextSink)
    , heldLimit(heldBytesLimit)
{
    for (Side &side : sides) {
        side.aead = std::make_unique<TlsAead>();
    }
}

TlsStream::~TlsStream() = default;

void TlsStream::feed(Direction direction, const uchar *data, qsizetype size)
{
    Side &side = sides[direction];
    if (broken || side.ended || size <= 0) {
        return;
    }
    // Keys that came since records were held open those first, the client's before the server's.
    if (waitingForKeys()) {
        retry();
        if (broken || side.ended) {
            return;
        }
    }
    // Complete a record begun earlier, then take records straight from the caller's bytes: a busy stream is
    // not copied.
    while (size > 0 && !side.held.isEmpty() && !broken) {
        const auto *held = reinterpret_cast<const uchar *>(side.held.constData());
        qsizetype need = headerSize - side.held.size();
        if (need <= 0) {
            need = headerSize + bigEndian(held + 3, 2) - side.held.size();
        }
        if (need <= 0) {
            // Whole records that wait for keys: the rest waits behind them.
            side.held.append(reinterpret_cast<const char *>(data), size);
            size = 0;
            break;
        }
        const qsizetype part = std::min(need, size);
        side.held.append(reinterpret_cast<const char *>(data), part);
        data += part;
        size -= part;
        if (part == need) {
            drain(direction);
        }
    }
    if (size > 0 && !broken && !side.ended) {
        const qsizetype taken = records(direction, data, size);
        if (!broken && !side.ended) {
            side.held.append(reinterpret_cast<const char *>(data + taken), size - taken);
        }
    }
    const Direction other = direction == FromClient ? FromServer : FromClient;
    // The keys were found for this side's records: the other side's held ones can be opened as well.
    if (keyed) {
        drain(other);
    }
    settle(other);
}

void TlsStream::lose(Direction direction)
{
    fail("bytes of the connection went missing");
    settle(direction);
}

void TlsStream::retry()
{
    drain(FromClient);
    drain(FromServer);
    settle(FromClient);
}

bool TlsStream::waitingForKeys() const
{
    return !broken && !keyed && !serverRandom.isEmpty() && heldBytes() > 0;
}

qsizetype TlsStream::records(Direction direction, const uchar *data, qsizetype size)
{
    qsizetype taken = 0;
    while (!broken && !sides[direction].ended && size - taken >= headerSize) {
        const uchar *at = data + taken;
        const qsizetype length = bigEndian(at + 3, 2);
        if (at[0] < changeCipherSpec || at[0] > applicationData || at[1] != 3 || length > maxRecord) {
            fail("malformed record header");
            break;
        }
        if (size - taken < headerSize + length || !record(direction, at, headerSize + length)) {
            break;
        }
        taken += headerSize + length;
    }
    return sides[direction].ended ? size : taken;
}

bool TlsStream::record(Direction direction, const uchar *data, qsizetype size)
{
    Side &side = sides[direction];
    if (side.changeCipherSeen && version == Version::Unknown) {
        // Only the ServerHello tells whether this switched to encryption (TLS 1.2) or was a courtesy (TLS 1.3).
        if (direction == FromServer) {
            fail("ChangeCipherSpec before the ServerHello");
        }
        return false;
    }
    const uchar type = data[0];
    if (type == applicationData || (side.changeCipherSeen && version == Version::Tls12)) {
        if (!keysReady(direction)) {
            return false;
        }
        decrypt(direction, data, size);
        return true;
    }
    switch (type) {
    case changeCipherSpec:
        side.changeCipherSeen = true;
        break;
    case alert:
        endSide(direction);
        break;
    default:
        handshake(direction, data + headerSize, size - headerSize, false);
    }
    return true;
}

bool TlsStream::keysReady(Direction direction)
{
    if (keyed) {
        return true;
    }
    if (serverRandom.isEmpty()) {
        if (direction == FromServer) {
            fail("encrypted records before a ServerHello");
        }
        return false;
    }
    const std::optional<TlsSecrets> secrets = keyLog.find(clientRandom);
    if (!secrets) {
        return false;
    }
    const Suite &cipher = *findSuite(suite, version == Version::Tls13);
    if (version == Version::Tls13) {
        if (secrets->clientTrafficSecret.isEmpty() || secrets->serverTrafficSecret.isEmpty()) {
            return false;
        }
        sides[FromClient].secret = secrets->clientTrafficSecret;
        sides[FromServer].secret = secrets->serverTrafficSecret;
        if (sides[FromClient].secret.size() != cipher.hashLength
            || sides[FromServer].secret.size() != cipher.hashLength) {
            fail("the key log's secrets do not fit the cipher suite");
            return false;
        }
        keyed = setTrafficKeys(FromClient) && setTrafficKeys(FromServer);
    } else {
        if (secrets->masterSecret.isEmpty()) {
            return false;
        }
        const int ivLength = cipher.explicitNonce ? 4 : int(nonceSize);
        const QByteArray block
            = tls12KeyBlock(cipher, secrets->masterSecret, "key expansion" + serverRandom + clientRandom,
                            2 * (cipher.keyLength + ivLength));
        const QByteArrayView view(block);
        keyed = !block.isEmpty()
            && sides[FromClient].aead->init(cipher, view.first(cipher.keyLength),
                                            view.sliced(2 * cipher.keyLength, ivLength))
            && sides[FromServer].aead->init(cipher, view.sliced(cipher.keyLength, cipher.keyLength),
                                            view.sliced(2 * cipher.keyLength + ivLength, ivLength));
    }
    if (!keyed) {
        fail("could not derive the record keys");
    }
    return keyed;
}

bool TlsStream::setTrafficKeys(Direction direction)
{
    Side &side = sides[direction];
    const Suite &cipher = *findSuite(suite, true);
    const QByteArray key = expandLabel(cipher, side.secret, "key", cipher.keyLength);
    const QByteArray iv = expandLabel(cipher, side.secret, "iv", int(nonceSize));
    side.sequence = 0;
    return !key.isEmpty() && !iv.isEmpty() && side.aead->init(cipher, key, iv);
}

void TlsStream::decrypt(Direction direction, const uchar *data, qsizetype size)
{
    Side &side = sides[direction];
    TlsAead &aead = *side.aead;
    const uchar *body = data + headerSize;
    const qsizetype explicitSize = aead.explicitNonce ? explicitNonceSize : 0;
    const qsizetype cipherSize = size - headerSize - explicitSize - tagSize;
    if (cipherSize < 0) {
        fail("encrypted record too short");
        return;
    }
    uchar nonce[nonceSize];
    std::memcpy(nonce, aead.iv, nonceSize);
    if (aead.explicitNonce) {
        std::memcpy(nonce + 4, body, explicitNonceSize);
    } else {
        for (int i = 0; i < 8; ++i) {
            nonce[4 + i] ^= uchar(side.sequence >> (56 - 8 * i));
        }
    }
    uchar aad[13];
    int aadSize = headerSize;
    if (version == Version::Tls13) {
        std::memcpy(aad, data, headerSize);
    } else {
        for (int i = 0; i < 8; ++i) {
            aad[i] = uchar(side.sequence >> (56 - 8 * i));
        }
        std::memcpy(aad + 8, data, 3);
        aad[11] = uchar(cipherSize >> 8);
        aad[12] = uchar(cipherSize);
        aadSize = 13;
    }
    side.plain.resize(cipherSize);
    auto *plain = reinterpret_cast<uchar *>(side.plain.data());
    if (!aead.open(nonce, aad, aadSize, body + explicitSize, int(cipherSize), plain)) {
        if (version == Version::Tls13 && !side.decrypting) {
            // Sealed with the handshake keys, which a key log need not hold.
            if (++side.handshakeRecords > handshakeRecordLimit) {
                fail("no record opened with the key log's secrets");
            }
            return;
        }
        fail("a record failed authentication");
        return;
    }
    side.decrypting = true;
    ++side.sequence;
    qsizetype length = cipherSize;
    uchar type = data[0];
    if (version == Version::Tls13) {
        while (length > 0 && plain[length - 1] == 0) {
            --length;
        }
        if (length == 0) {
            fail("record without a content type");
            return;
        }
        type = plain[--length];
    }
    switch (type) {
    case applicationData:
        deliver(direction, plain, length);
        break;
    case handshakeRecord:
        // TLS 1.2: the Finished message. TLS 1.3: tickets and key updates.
        handshake(direction, plain, length, true);
        break;
    case alert:
        endSide(direction);
        break;
    default:
        fail("unexpected inner record type");
    }
}

void TlsStream::handshake(Direction direction, const uchar *data, qsizetype size, bool encrypted)
{
    Side &side = sides[direction];
    while (size > 0 && !broken) {
        if (side.skipping > 0) {
            const qsizetype part = qsizetype(std::min<qint64>(side.skipping, size));
            side.skipping -= part;
            data += part;
            size -= part;
            continue;
        }
        if (side.message.size() < 4) {
            const qsizetype part = std::min(4 - side.message.size(), size);
            side.message.append(reinterpret_cast<const char *>(data), part);
            data += part;
            size -= part;
            if (side.message.size() < 4) {
                return;
            }
            const auto type = uchar(side.message[0]);
            const qsizetype length = bigEndian(reinterpret_cast<const uchar *>(side.message.constData()) + 1, 3);
            const bool wanted = encrypted ? version == Version::Tls13 && type == keyUpdateType
                                          : type == (direction == FromClient ? clientHelloType : serverHelloType);
            if (!wanted) {
                side.skipping = length;
                side.message.clear();
                continue;
            }
            if (length > messageLimit) {
                fail("handshake message too long");
                return;
            }
        }
        const qsizetype whole = 4 + bigEndian(reinterpret_cast<const uchar *>(side.message.constData()) + 1, 3);
        const qsizetype part = std::min(whole - side.message.size(), size);
        side.message.append(reinterpret_cast<const char *>(data), part);
        data += part;
        size -= part;
        if (side.message.size() == whole) {
            const QByteArray message = std::exchange(side.message, {});
            const QByteArrayView body = QByteArrayView(message).sliced(4);
            if (encrypted) {
                keyUpdate(direction, body);
            } else if (direction == FromClient ? !clientHello(body) : !serverHello(body)) {
                fail(direction == FromClient ? "malformed ClientHello" : "malformed ServerHello");
            }
        }
    }
}

void TlsStream::keyUpdate(Direction direction, QByteArrayView body)
{
    Side &side = sides[direction];
    const Suite &cipher = *findSuite(suite, true);
    if (body.size() != 1) {
        fail("malformed KeyUpdate");
        return;
    }
    side.secret = expandLabel(cipher, side.secret, "traffic upd", cipher.hashLength);
    if (side.secret.isEmpty() || !setTrafficKeys(direction)) {
        fail("could not derive the updated keys");
    }
}

bool TlsStream::clientHello(QByteArrayView body)
{
    Reader hello(body);
    hello.take(2);
    const QByteArrayView random = hello.take(32);
    hello.vector(1);
    hello.vector(2);
    hello.vector(1);
    Reader extensions(hello.atEnd() ? QByteArrayView() : hello.vector(2));
    while (hello.ok() && extensions.ok() && !extensions.atEnd()) {
        const quint32 type = extensions.number(2);
        Reader field(extensions.vector(2));
        if (type == 0x0000) {
            Reader names(field.vector(2));
            while (names.ok() && !names.atEnd()) {
                const quint32 nameType = names.number(1);
                const QByteArrayView name = names.vector(2);
                if (nameType == 0) {
                    sni = name.toByteArray();
                }
            }
            if (!names.ok()) {
                return false;
            }
        } else if (type == 0x0010) {
            Reader protocols(field.vector(2));
            offered.clear();
            while (protocols.ok() && !protocols.atEnd()) {
                offered.append(protocols.vector(1).toByteArray());
            }
            if (!protocols.ok()) {
                return false;
            }
        }
        if (!field.ok()) {
            return false;
        }
    }
    if (!hello.ok() || !extensions.ok()) {
        return false;
    }
    clientRandom = random.toByteArray();
    if (offered.size() == 1) {
        protocol = offered.first();
    }
    return true;
}

bool TlsStream::serverHello(QByteArrayView body)
{
    Reader hello(body);
    quint32 selected = hello.number(2);
    const QByteArrayView random = hello.take(32);
    hello.vector(1);
    const auto cipher = quint16(hello.number(2));
    hello.number(1);
    QByteArray chosen;
    Reader extensions(hello.atEnd() ? QByteArrayView() : hello.vector(2));
    while (hello.ok() && extensions.ok() && !extensions.atEnd()) {
        const quint32 type = extensions.number(2);
        Reader field(extensions.vector(2));
        if (type == 0x002b) {
            selected = field.number(2);
        } else if (type == 0x0010) {
            Reader protocols(field.vector(2));
            chosen = protocols.vector(1).toByteArray();
            if (!protocols.ok()) {
                return false;
            }
        }
        if (!field.ok()) {
            return false;
        }
    }
    if (!hello.ok() || !extensions.ok() || clientRandom.isEmpty() || !serverRandom.isEmpty()) {
        return false;
    }
    version = selected == 0x0304 ? Version::Tls13 : selected == 0x0303 ? Version::Tls12 : Version::Unknown;
    if (version == Version::Unknown) {
        fail("unsupported TLS version 0x" + QByteArray::number(selected, 16));
        return true;
    }
    if (findSuite(cipher, version == Version::Tls13) == nullptr) {
        fail("unsupported cipher suite 0x" + QByteArray::number(cipher, 16));
        return true;
    }
    suite = cipher;
    if (random == QByteArrayView(helloRetryRandom, sizeof helloRetryRandom)) {
        // A retry request: the ClientHello and ServerHello that count follow.
        return true;
    }
    serverRandom = random.toByteArray();
    if (!chosen.isEmpty()) {
        protocol = chosen;
    }
    serverHelloArrived = true;
    return true;
}

void TlsStream::deliver(Direction direction, const uchar *data, qsizetype size)
{
    if (size == 0) {
        return;
    }
    if (direction == FromClient && content == Inner::Unknown) {
        const qsizetype compared = std::min<qsizetype>(size, sizeof http2Preface - 1);
        content = std::memcmp(data, http2Preface, compared) == 0 ? Inner::Http2 : Inner::Http1;
        if (protocol.isEmpty()) {
            protocol = content == Inner::Http2 ? "h2" : "http/1.1";
        }
    }
    sink.plaintext(direction, data, size);
}

void TlsStream::endSide(Direction direction)
{
    if (!sides[direction].ended) {
        sides[direction].ended = true;
        sink.ended(direction);
    }
}

void TlsStream::drain(Direction direction)
{
    Side &side = sides[direction];
    if (broken || side.held.isEmpty()) {
        return;
    }
    const qsizetype taken
        = records(direction, reinterpret_cast<const uchar *>(side.held.constData()), side.held.size());
    if (!broken) {
        side.held.remove(0, taken);
    }
}

void TlsStream::settle(Direction other)
{
    if (serverHelloArrived) {
        serverHelloArrived = false;
        drain(other);
    }
    if (!broken && heldBytes() > heldLimit) {
        fail("the key log did not give this connection's keys in time");
    }
    if (broken) {
        for (Side &side : sides) {
            side = Side();
        }
    }
}

void TlsStream::fail(const QByteArray &reason)
{
    if (!broken) {
        broken = true;
        trace() << "TlsStream" << sni << ":" << (reason + ", not decrypting this connection").constData();
    }
}
