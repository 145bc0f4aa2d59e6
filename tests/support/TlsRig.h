#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// nginx serving a real clip over TLS in one network namespace of this test, headless Chromium fetching it in
// another. Both hang on a bridge in the root namespace that carries an address, so a capture in this process can
// watch the traffic and this process can fetch from the server too. The bridge is promiscuous: frames between its
// ports reach captures on it only then. Chromium has a route to the server alone, and the root namespace does not
// forward. Everything is removed on destruction; names carry the pid, and a later rig removes what a killed run left.
//   port 443   TLS 1.3, HTTP/2
//   port 8443  TLS 1.2 (ECDHE with AES-GCM), HTTP/1.1
class TlsRig final
{
public:
    TlsRig();
    ~TlsRig();

    // Why this machine cannot run the rig (a program missing, no right to make namespaces); empty when it can.
    QString unavailable() const { return missing; }
    // What went wrong in building the rig or in the last browse(); empty while all went well.
    QString failure() const { return broken; }

    // The root namespace's end, with an IPv4 address.
    QByteArray adapter() const { return id.toLatin1(); }
    // Where this namespace reaches the server (the browser uses another of its addresses).
    QHostAddress serverAddress() const { return QHostAddress(subnet + QLatin1Char('2')); }
    // The server's self-signed certificate (names media.test and the server's address).
    QString caFile() const { return folder.filePath(QStringLiteral("server.pem")); }
    // The served clip.
    QString clipFile() const { return folder.filePath(QStringLiteral("www/clip.mp4")); }

    // Starts Chromium with SSLKEYLOGFILE=keyLog on https://media.test:port/page.html, ending the previous one, and
    // waits until the server has sent the page's clip on that port. Chromium runs on until the next call or the
    // rig's end, so no packet of the clip is cut short.
    bool browse(quint16 port, const QString &keyLog);

private:
    // One ip command; %i stands for the rig's name, %n for its subnet's first three octets.
    bool ip(QString command) const;
    bool build();
    // Runs ip with these arguments, its output appended to output.log in the folder.
    std::unique_ptr<QProcess> start(const QStringList &ipArguments, const QProcessEnvironment &environment);
    void stop(std::unique_ptr<QProcess> &process);

    QTemporaryDir folder;
    QString id;
    QString subnet;
    QString missing;
    QString broken;
    QStringList undo;
    std::unique_ptr<QProcess> server;
    std::unique_ptr<QProcess> browser;
    int browsers = 0;
};
