#pragma once

#include "StreamSamples.h"

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
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
// Adaptive streams and the pages that play them are made on first use.
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
    // The folder the server serves.
    QString wwwFolder() const { return folder.filePath(QStringLiteral("www")); }

    // The page that plays the stream, relative to wwwFolder(), e.g. "player.html?src=ts/master.m3u8". The first call
    // for a stream makes it; for HlsLive it starts ffmpeg, which writes on until the rig's end, and returns once the
    // playlists exist. Empty when that failed (see failure()).
    QString streamPage(SampleStream stream);

    // Starts Chromium with SSLKEYLOGFILE=keyLog on https://media.test:port/page, ending the previous one, and waits
    // until the server has answered (200 or 206) a request on that port whose target matches served, at most
    // timeoutMs. Chromium runs on until the next call or the rig's end, so no packet of the answer is cut short.
    bool browse(quint16 port, const QString &keyLog, const QString &page, const QRegularExpression &served,
                int timeoutMs = 60000);
    // The same for page.html, until its clip is served (at most 30 s).
    bool browse(quint16 port, const QString &keyLog);

    // The targets ("/ts/stream_1_0.ts") of the requests the server answered with 200 or 206 on port, oldest first.
    QStringList servedPaths(quint16 port) const;

private:
    // One ip command; %i stands for the rig's name, %n for its subnet's first three octets.
    bool ip(QString command) const;
    bool build();
    // Runs program, its output appended to output.log in the folder.
    std::unique_ptr<QProcess> start(const QString &program, const QStringList &arguments,
                                    const QProcessEnvironment &environment);
    void stop(std::unique_ptr<QProcess> &process);

    QTemporaryDir folder;
    QString id;
    QString subnet;
    QString missing;
    QString broken;
    QStringList undo;
    std::unique_ptr<QProcess> server;
    std::unique_ptr<QProcess> browser;
    std::unique_ptr<QProcess> live;
    int browsers = 0;
    bool playersInstalled = false;
    QList<SampleStream> made;
};
