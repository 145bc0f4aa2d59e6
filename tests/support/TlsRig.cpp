#include "TlsRig.h"
#include "Files.h"
#include "MediaProbe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

#include <functional>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// %1 the rig's folder. One process, running as root, so it can read the test's folder.
constexpr char nginxConf[] = R"(daemon off;
master_process off;
pid %1/nginx.pid;
error_log %1/error.log;
events {}
http {
  log_format rig '$server_port $status $request $ssl_protocol';
  access_log %1/access.log rig;
  client_body_temp_path %1/body;
  types {
    text/html html; video/mp4 mp4; application/javascript js; application/vnd.apple.mpegurl m3u8;
    application/dash+xml mpd; video/mp2t ts; video/iso.segment m4s; application/octet-stream key;
  }
  ssl_certificate %1/server.pem;
  ssl_certificate_key %1/server.key;
  root %1/www;
  server { listen 443 ssl http2; ssl_protocols TLSv1.3; }
  server { listen 8443 ssl; ssl_protocols TLSv1.2; ssl_ciphers ECDHE-ECDSA-AES128-GCM-SHA256; }
}
)";

// Waits for done while process runs; false when it ends first or time runs out.
bool waitWhileRunning(QProcess &process, const std::function<bool()> &done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired() || process.waitForFinished(20) || process.state() == QProcess::NotRunning) {
            return false;
        }
    }
    return true;
}

// A run killed by its timeout cannot clean up; remove the namespaces and bridges of runs whose process is gone.
void removeLeftovers()
{
    static const QRegularExpression leftover(QStringLiteral("\\b(cvtls(\\d+)[sb]?)\\b"));
    for (const auto &[list, remove] : { std::pair { QStringList { "netns", "list" }, QStringLiteral("netns") },
                                        { QStringList { "-o", "link", "show", "type", "bridge" }, "link" } }) {
        QByteArray names;
        run(QStringLiteral("ip"), list, QString(), &names);
        for (auto match = leftover.globalMatch(QString::fromLocal8Bit(names)); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            if (found.captured(2).toInt() == getpid()
                || !QFileInfo::exists(QStringLiteral("/proc/") + found.captured(2))) {
                run(QStringLiteral("ip"), { remove, "del", found.captured(1) });
            }
        }
    }
}

} // namespace

TlsRig::TlsRig()
    : id(QStringLiteral("cvtls%1").arg(getpid()))
    , subnet(QStringLiteral("10.214.%1.").arg(getpid() % 250 + 1))
{
    for (const char *program : { "ip", "openssl", "ffmpeg", "nginx", "chromium" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
            missing = QString::fromLatin1(program) + QStringLiteral(" is not installed");
            return;
        }
    }
    removeLeftovers();
    if (!ip(QStringLiteral("netns add %is"))) {
        missing = QStringLiteral("creating a network namespace needs the ip tool and CAP_SYS_ADMIN");
        return;
    }
    undo = QStringList { "link del %isr", "link del %ibr", "link del %i", "netns del %is", "netns del %ib" };
    // Two subnets on one bridge: this namespace and the server share .0/30, the browser and the server .4/30, so the
    // browser has no route to this namespace's address. No IPv6 link-local addresses: one that arrives while Chromium
    // runs is a network change to it, and it drops its connections mid-response.
    QStringList setup { "netns add %ib", "link add %i type bridge", "link set %i addrgenmode none",
                        "addr add %n1/30 dev %i", "link set %i promisc on up" };
    for (const char *side : { "s", "b" }) {
        setup << "link add %i%sr type veth peer name eth0 netns %i%s"
              << "link set %i%sr addrgenmode none"
              << "link set %i%sr master %i up"
              << "netns exec %i%s ip link set eth0 addrgenmode none"
              << "netns exec %i%s ip link set eth0 up"
              << "netns exec %i%s ip link set lo up";
        setup.replaceInStrings(QStringLiteral("%s"), QString::fromLatin1(side));
    }
    setup << "netns exec %is ip addr add %n2/30 dev eth0"
          << "netns exec %is ip addr add %n5/30 dev eth0"
          << "netns exec %ib ip addr add %n6/30 dev eth0";
    for (const QString &command : std::as_const(setup)) {
        if (!ip(command)) {
            broken = QStringLiteral("could not run: ip ") + command;
            return;
        }
    }
    if (!build()) {
        broken = QStringLiteral("could not make the certificates, the clip, the page or nginx's configuration");
        return;
    }
    server = start("ip",
                   { "netns", "exec", id + 's', "nginx", "-p", folder.path(), "-c", folder.filePath("nginx.conf"), "-e",
                     folder.filePath("error.log") },
                   QProcessEnvironment::systemEnvironment());
    // nginx writes its pid file once it listens.
    if (!waitWhileRunning(
            *server, [this] { return QFileInfo::exists(folder.filePath(QStringLiteral("nginx.pid"))); }, 10000)) {
        broken = QStringLiteral("nginx did not start: ")
            + QString::fromLocal8Bit(readFile(folder.filePath(QStringLiteral("error.log"))));
    }
}

TlsRig::~TlsRig()
{
    stop(browser);
    stop(live);
    stop(server);
    for (const QString &command : std::as_const(undo)) {
        ip(command);
    }
}

bool TlsRig::browse(quint16 port, const QString &keyLog)
{
    static const QRegularExpression clip(QStringLiteral("^/clip\\.mp4$"));
    return browse(port, keyLog, QStringLiteral("page.html"), clip, 30000);
}

bool TlsRig::browse(quint16 port, const QString &keyLog, const QString &page, const QRegularExpression &served,
                    int timeoutMs)
{
    stop(browser);
    const qsizetype before = servedPaths(port).size();
    const auto answered = [&] { return !servedPaths(port).mid(before).filter(served).isEmpty(); };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SSLKEYLOGFILE"), keyLog);
    // Chromium keeps certificate stores and caches under HOME too.
    environment.insert(QStringLiteral("HOME"), folder.path());
    browser = start("ip",
                    { "netns", "exec", id + 'b', "chromium", "--headless=new", "--no-sandbox", "--disable-gpu",
                      "--ignore-certificate-errors", "--host-resolver-rules=MAP media.test " + subnet + '5',
                      "--autoplay-policy=no-user-gesture-required", "--disable-quic", "--no-first-run",
                      "--user-data-dir=" + folder.filePath(QStringLiteral("profile%1").arg(++browsers)),
                      QStringLiteral("https://media.test:%1/%2").arg(QString::number(port), page) },
                    environment);
    if (!waitWhileRunning(*browser, answered, timeoutMs)) {
        // The pages ask for player-error when their player gives up, so the access log shows why.
        broken = QStringLiteral("Chromium did not fetch %1 for %2; access log: %3; output: %4")
                     .arg(served.pattern(), page,
                          QString::fromLatin1(readFile(folder.filePath(QStringLiteral("access.log"))).right(2000)),
                          QString::fromLocal8Bit(readFile(folder.filePath(QStringLiteral("output.log"))).right(2000)));
        return false;
    }
    return true;
}

QStringList TlsRig::servedPaths(quint16 port) const
{
    // Lines are "port status method target protocol tls".
    static const QRegularExpression answer(QStringLiteral("^(\\d+) 20[06] \\S+ (\\S+) "),
                                           QRegularExpression::MultilineOption);
    QStringList paths;
    const QString log = QString::fromLatin1(readFile(folder.filePath(QStringLiteral("access.log"))));
    for (auto match = answer.globalMatch(log); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        if (found.captured(1).toUInt() == port) {
            paths.append(found.captured(2));
        }
    }
    return paths;
}

QString TlsRig::streamPage(SampleStream stream)
{
    if (!playersInstalled && !installPlayers(wwwFolder(), &broken)) {
        return QString();
    }
    playersInstalled = true;
    if (!made.contains(stream)) {
        if (stream != SampleStream::HlsLive) {
            if (!makeStream(stream, wwwFolder())) {
                broken = QStringLiteral("ffmpeg could not make ") + streamManifest(stream);
                return QString();
            }
        } else {
            live = start("ffmpeg", liveStreamArguments(wwwFolder()), QProcessEnvironment::systemEnvironment());
            const QDir www(wwwFolder());
            if (!waitWhileRunning(
                    *live,
                    [&www] {
                        return www.exists(QStringLiteral("live/stream_0.m3u8"))
                            && www.exists(QStringLiteral("live/stream_1.m3u8"));
                    },
                    20000)) {
                broken = QStringLiteral("ffmpeg did not start the live stream: ")
                    + QString::fromLocal8Bit(readFile(folder.filePath(QStringLiteral("output.log"))).right(2000));
                return QString();
            }
        }
        made.append(stream);
    }
    return ::streamPage(stream);
}

bool TlsRig::ip(QString command) const
{
    command.replace(QStringLiteral("%i"), id).replace(QStringLiteral("%n"), subnet);
    return run(QStringLiteral("ip"), command.split(QLatin1Char(' ')));
}

bool TlsRig::build()
{
    const QDir www(folder.filePath(QStringLiteral("www")));
    // Self-signed, so the certificate is its own authority.
    return QDir().mkpath(www.path()) && QDir().mkpath(folder.filePath(QStringLiteral("body")))
        && run(QStringLiteral("openssl"),
               { "req", "-x509", "-days", "2", "-subj", "/CN=media.test", "-addext",
                 "subjectAltName=DNS:media.test,IP:" + serverAddress().toString(), "-newkey", "ec", "-pkeyopt",
                 "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "server.key", "-out", "server.pem" },
               folder.path())
        // Noise keeps two seconds of picture above 100 kB, so the clip spans many TLS records.
        && run(QStringLiteral("ffmpeg"),
               { "-v", "error", "-f", "lavfi", "-i", "testsrc=duration=2:size=320x240:rate=25,noise=alls=30:allf=t",
                 "-c:v", "libx264", "-pix_fmt", "yuv420p", "-movflags", "+faststart", www.filePath("clip.mp4") })
        && writeFile(www.filePath(QStringLiteral("page.html")),
                     "<!DOCTYPE html>\n<video src=\"clip.mp4\" autoplay muted></video>\n")
        && writeFile(folder.filePath(QStringLiteral("nginx.conf")),
                     QString::fromLatin1(nginxConf).arg(folder.path()).toLocal8Bit());
}

std::unique_ptr<QProcess> TlsRig::start(const QString &program, const QStringList &arguments,
                                        const QProcessEnvironment &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(folder.filePath(QStringLiteral("output.log")), QIODevice::Append);
    // Not even a run killed by its timeout leaves them running.
    process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, arguments);
    return process;
}

void TlsRig::stop(std::unique_ptr<QProcess> &process)
{
    // A polite end first, so that Chromium takes its helpers along; the destructor kills what is left.
    if (process && process->state() != QProcess::NotRunning) {
        process->terminate();
        process->waitForFinished(10000);
    }
    process.reset();
}
