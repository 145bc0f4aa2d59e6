#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>

// What a key log file tells about one TLS session. Either the TLS 1.2 master secret or the TLS 1.3 first
// application traffic secrets (each 32 or 48 bytes) are set; a line may not have arrived yet.
struct TlsSecrets
{
    QByteArray masterSecret;
    QByteArray clientTrafficSecret, serverTrafficSecret;
};

// The session secrets a browser writes to its key log file (SSLKEYLOGFILE), by 32-byte client random. The
// file is followed as it grows: find() looks at it at most every lookInterval, refresh() at once. A file that
// shrank is read again from its start. Line contents never reach the log: they are secrets. Thread-safe.
class KeyLog
{
public:
    static constexpr qsizetype defaultSessions = 100'000;
    static constexpr std::chrono::milliseconds lookInterval { 100 };

    explicit KeyLog(const QString &file = {}, qsizetype capacity = defaultSessions);
    Q_DISABLE_COPY_MOVE(KeyLog)

    std::optional<TlsSecrets> find(QByteArrayView clientRandom);
    void refresh();
    // Key log lines; a last line without its newline waits for the rest.
    void addText(QByteArrayView text);
    // Grows whenever secrets arrive, so that connections waiting for their keys know when to look again.
    // Looks at the file as find() does.
    quint64 generation();
    qint64 malformedLines() const;
    // Forgets the secrets held; what the file already gave is not read again.
    void clear();

private:
    void lookIfDue();
    void look();
    void addTextLocked(QByteArrayView text);
    void addLine(QByteArrayView line);

    mutable std::mutex mutex;
    const QString path;
    const qsizetype limit;
    qint64 offset = 0;
    QByteArray partial;
    bool partialTooLong = false;
    bool missingLogged = false;
    std::chrono::steady_clock::time_point lastLook {};
    QHash<QByteArray, TlsSecrets> sessions;
    // Client randoms, oldest first.
    std::deque<QByteArray> order;
    quint64 changes = 0;
    qint64 malformed = 0;
};
