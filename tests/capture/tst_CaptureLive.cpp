#include "CVideoSniffer.h"
#include "CaptureEngines.h"
#include "CaptureReporter.h"
#include "CollectedReports.h"
#include "LocalHttpServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The whole reply to request, sent from a socket bound to from.
QByteArray fetch(const QHostAddress &from, const QHostAddress &to, quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    if (!socket.bind(from)) {
        return {};
    }
    socket.connectToHost(to, port);
    if (!socket.waitForConnected(5000)) {
        return {};
    }
    socket.write(request);
    QByteArray reply;
    while (socket.waitForReadyRead(5000)) {
        reply += socket.readAll();
    }
    return reply + socket.readAll();
}

bool ip(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ip"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

class RecordingReporter final : public CaptureReporter
{
public:
    void critical(const QString &text) override { texts.append(text); }
    QStringList texts;
};

constexpr qsizetype clipSize = 150'000;

} // namespace

class tst_CaptureLive final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void unknownAdapterDoesNotCapture();
    void loopbackNeverListed();
    void loopbackAdapter();
    void pythonServer();
    void vethIntoNamespace();
    void withoutTheRightThroughTheHelper();

private:
    // An engine on adapter with the report collector registered; nullptr when capture is not permitted here.
    std::unique_ptr<CVideoSniffer> openEngine(const QByteArray &adapter);
    void verifyReport(const QHostAddress &client, const QHostAddress &server, quint16 port, const QByteArray &host);

    QTemporaryDir folder;
    RecordingReporter reporter;
};

void tst_CaptureLive::initTestCase()
{
    // A run killed by its timeout cannot clean up; remove what such runs left.
    QProcess list;
    list.start(QStringLiteral("ip"), { QStringLiteral("netns"), QStringLiteral("list") });
    list.waitForFinished(10000);
    static const QRegularExpression leftover(QStringLiteral("^cvcap(\\d+)\\b"), QRegularExpression::MultilineOption);
    for (auto match = leftover.globalMatch(QString::fromLocal8Bit(list.readAllStandardOutput())); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        if (!QFileInfo::exists(QStringLiteral("/proc/") + found.captured(1))) {
            ip({ QStringLiteral("netns"), QStringLiteral("del"), found.captured(0) });
        }
    }
    QFile clip(folder.filePath(QStringLiteral("clip.mp4")));
    QVERIFY(clip.open(QIODevice::WriteOnly));
    QByteArray body(clipSize, 'v');
    QCOMPARE(clip.write(body), clipSize);
    CaptureReporter::install(&reporter);
}

void tst_CaptureLive::cleanupTestCase()
{
    CaptureReporter::install(nullptr);
}

std::unique_ptr<CVideoSniffer> tst_CaptureLive::openEngine(const QByteArray &adapter)
{
    auto engine = std::make_unique<CVideoSniffer>(adapter);
    if (!engine->isCapturing() && engine->openError().contains(QStringLiteral("permission"), Qt::CaseInsensitive)) {
        qWarning().noquote() << "capture needs root or CAP_NET_RAW:" << engine->openError();
        return nullptr;
    }
    engine->registerCallback(collectReport);
    return engine;
}

void tst_CaptureLive::verifyReport(const QHostAddress &client, const QHostAddress &server, quint16 port,
                                   const QByteArray &host)
{
    const QByteArray request = "GET /clip.mp4 HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: capture-test\r\n\r\n";
    QVERIFY(fetch(client, server, port, request).size() > clipSize);
    const std::optional<SniffReport> report = waitForReport(host + "/clip.mp4");
    QVERIFY2(report, "no report of the response");
    QCOMPARE(report->requestHeader, request);
    QCOMPARE(report->contentLength, QByteArray::number(clipSize) + "\r\n");
    QCOMPARE(report->mediaType, QByteArray("mp4\r\n"));
}

void tst_CaptureLive::unknownAdapterDoesNotCapture()
{
    const CVideoSniffer engine("no-such-adapter");
    QVERIFY(!engine.isCapturing());
    QVERIFY(engine.openError().contains(QStringLiteral("no-such-adapter")));
    QVERIFY(!engine.permissionDenied());
    QVERIFY(reporter.texts.isEmpty());
}

void tst_CaptureLive::loopbackNeverListed()
{
    QVERIFY(!CVideoSniffer::listInterfaces().contains("lo"));
}

void tst_CaptureLive::loopbackAdapter()
{
    const QHostAddress server(QStringLiteral("127.0.0.2"));
    const LocalHttpServer http(folder.path(), server);
    const std::unique_ptr<CVideoSniffer> engine = openEngine("lo");
    if (!engine) {
        QSKIP("capturing needs root or CAP_NET_RAW");
    }
    QVERIFY2(engine->isCapturing(), qPrintable(engine->openError()));
    verifyReport(QHostAddress(QStringLiteral("127.0.0.1")), server, http.port(),
                 "127.0.0.2:" + QByteArray::number(http.port()));
}

// python's http.server names its fields "Content-type" and sends its header in a packet of its own, the body
// after it.
void tst_CaptureLive::pythonServer()
{
    QFile song(folder.filePath(QStringLiteral("song.mp3")));
    QVERIFY(song.open(QIODevice::WriteOnly));
    QCOMPARE(song.write(QByteArray("ID3\x04\x00\x00", 6) + QByteArray(clipSize - 6, 's')), clipSize);
    song.close();
    QProcess python;
    python.setWorkingDirectory(folder.path());
    python.start(QStringLiteral("python3"),
                 { QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("--bind"),
                   QStringLiteral("127.0.0.2"), QStringLiteral("0") });
    if (!python.waitForStarted(10000)) {
        QSKIP("python3 is not installed");
    }
    const auto stop = qScopeGuard([&python] {
        python.kill();
        python.waitForFinished(10000);
    });
    static const QRegularExpression serving(QStringLiteral("port (\\d+)"));
    QRegularExpressionMatch match;
    for (QByteArray said; !(match = serving.match(QString::fromLocal8Bit(said))).hasMatch();) {
        QVERIFY2(python.waitForReadyRead(10000), "python's http.server did not say where it serves");
        said += python.readAllStandardOutput();
    }
    const quint16 port = match.captured(1).toUShort();
    const std::unique_ptr<CVideoSniffer> engine = openEngine("lo");
    if (!engine) {
        QSKIP("capturing needs root or CAP_NET_RAW");
    }
    QVERIFY2(engine->isCapturing(), qPrintable(engine->openError()));

    const QByteArray host = "127.0.0.2:" + QByteArray::number(port);
    for (const auto &[path, type] : { std::pair { QByteArray("/clip.mp4"), QByteArray("mp4\r\n") },
                                      { QByteArray("/song.mp3"), QByteArray("MP3") } }) {
        const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
        const QByteArray reply = fetch(QHostAddress(QStringLiteral("127.0.0.1")),
                                       QHostAddress(QStringLiteral("127.0.0.2")), port, request);
        QVERIFY2(reply.contains("\r\nContent-type: "), reply.left(300).constData());
        const std::optional<SniffReport> report = waitForReport(host + path);
        QVERIFY2(report, path.constData());
        QCOMPARE(report->requestHeader, request);
        QCOMPARE(report->contentLength, QByteArray::number(clipSize) + "\r\n");
        QCOMPARE(report->mediaType, type);
    }
}

// Frames with real Ethernet addresses: a veth pair whose far end sits in a namespace of this test, with the
// server inside it. Afterwards the pair is idle, and an engine on it must still stop. The page's engines, started
// before the pair existed, follow it: they watch it from its first usable address (IPv6 counts) on, and anew
// when it gets an IPv4 address and when it is removed and added again.
void tst_CaptureLive::vethIntoNamespace()
{
    const QString id = QString::number(getpid());
    const QString space = QStringLiteral("cvcap") + id;
    const QString near = QStringLiteral("cvc") + id + QLatin1Char('a');
    const QString far = QStringLiteral("cvc") + id + QLatin1Char('b');
    const QString tunnel = QStringLiteral("cvc") + id + QLatin1Char('t');
    const QString subnet = QStringLiteral("10.213.%1.").arg(getpid() % 250 + 1);
    // "%n" / "%f" / "%t" / "%s" stand for the near and far link, the tunnel and the namespace.
    const auto run = [&](QString command) {
        command.replace(QStringLiteral("%n"), near)
            .replace(QStringLiteral("%f"), far)
            .replace(QStringLiteral("%t"), tunnel);
        return ip(command.replace(QStringLiteral("%s"), space).split(QLatin1Char(' ')));
    };
    if (!run(QStringLiteral("netns add %s"))) {
        QSKIP("creating a network namespace needs the ip tool and CAP_SYS_ADMIN");
    }
    const auto cleanUp = qScopeGuard([&] {
        run(QStringLiteral("link del %n"));
        run(QStringLiteral("link del %t"));
        run(QStringLiteral("netns del %s"));
    });
    CaptureEngines engines(collectReport);
    engines.refresh(true);
    const auto addLink = [&] {
        QVERIFY(run(QStringLiteral("link add %n type veth peer name %f netns %s")));
        // No IPv6 link-local addresses, so nothing talks on the pair unless the test does.
        QVERIFY(run(QStringLiteral("link set %n addrgenmode none")));
        QVERIFY(run(QStringLiteral("netns exec %s ip link set %f addrgenmode none")));
        QVERIFY(run(QStringLiteral("link set %n up")));
        QVERIFY(run(QStringLiteral("netns exec %s ip addr add ") + subnet + QStringLiteral("2/30 dev %f")));
        QVERIFY(run(QStringLiteral("netns exec %s ip link set %f up")));
    };
    addLink();
    QVERIFY(run(QStringLiteral("addr add 169.254.213.1/30 dev %n")));

    // A link-local address alone does not qualify.
    QVERIFY(!CVideoSniffer::listInterfaces().contains(near.toLatin1()));
    {
        const CVideoSniffer unusable(near.toLatin1());
        QVERIFY(!unusable.isCapturing());
        QVERIFY(!unusable.openError().isEmpty());
    }
    QVERIFY(run(QStringLiteral("addr add fd00:213::1/64 nodad dev %n")));
    QVERIFY(CVideoSniffer::listInterfaces().contains(near.toLatin1()));
    engines.refresh(false);
    QVERIFY(run(QStringLiteral("addr add ") + subnet + QStringLiteral("1/30 dev %n")));
    QVERIFY(reporter.texts.isEmpty());

    std::unique_ptr<CVideoSniffer> engine = openEngine(near.toLatin1());
    if (!engine) {
        QSKIP("capturing needs root or CAP_NET_RAW");
    }
    QVERIFY2(engine->isCapturing(), qPrintable(engine->openError()));
    const QHostAddress server(subnet + QLatin1Char('2'));
    // Each server listens on a port of its own, so that no report of an earlier one counts for it.
    const auto verifyServed = [&] {
        std::unique_ptr<LocalHttpServer> http;
        std::thread([&] {
            const int handle = open(qPrintable(QStringLiteral("/var/run/netns/") + space), O_RDONLY | O_CLOEXEC);
            if (handle >= 0 && setns(handle, CLONE_NEWNET) == 0) {
                http = std::make_unique<LocalHttpServer>(folder.path(), server);
            }
            if (handle >= 0) {
                close(handle);
            }
        }).join();
        QVERIFY2(http && http->port() != 0, "no server inside the namespace");
        verifyReport(QHostAddress(subnet + QLatin1Char('1')), server, http->port(),
                     server.toString().toLatin1() + ':' + QByteArray::number(http->port()));
    };
    verifyServed();
    // Without a way out of a blocking read this hangs until the test's timeout.
    QTest::qWait(1500);
    QElapsedTimer stopping;
    stopping.start();
    engine.reset();
    qInfo() << "quiet adapter: engine stopped in" << stopping.elapsed() << "ms";

    engines.refresh(false);
    verifyServed();
    const auto engineOn = [&](const QString &adapter) -> CVideoSniffer * {
        for (const auto &candidate : engines.engines()) {
            if (candidate->adapter().name == adapter.toLatin1()) {
                return candidate.get();
            }
        }
        return nullptr;
    };
    // The window's own request, not seen yet when the adapter is replaced, stays ignored by the new engine.
    QVERIFY(engineOn(near));
    engineOn(near)->addIgnoredUrl("own.test/clip.mp4", 1);
    QVERIFY(run(QStringLiteral("link del %n")));
    addLink();
    QVERIFY(run(QStringLiteral("addr add ") + subnet + QStringLiteral("1/30 dev %n")));
    engines.refresh(false);
    QVERIFY(engineOn(near) && engineOn(near)->takeIgnoredUrl("own.test/clip.mp4"));
    verifyServed();

    // A tunnel's frames carry no link header (link type RAW); it is watched all the same.
    if (!run(QStringLiteral("tuntap add mode tun name %t"))) {
        QSKIP("this machine has no tunnel device (/dev/net/tun)");
    }
    QVERIFY(run(QStringLiteral("addr add fd00:214::1/64 dev %t")));
    engines.refresh(false);
    QVERIFY(run(QStringLiteral("link set %t up")));
    engines.refresh(false);
    QVERIFY(engineOn(tunnel) && engineOn(tunnel)->isCapturing());
}

// Last: this process gives up its capture right, as a user's would lack it; the helper beside it, run by root, may.
void tst_CaptureLive::withoutTheRightThroughTheHelper()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    if (geteuid() != 0 || syscall(SYS_capget, &header, data) != 0) {
        QSKIP("needs root, whose helper may capture");
    }
    data[0].effective &= ~(1U << CAP_NET_RAW);
    data[0].permitted &= ~(1U << CAP_NET_RAW);
    QVERIFY(syscall(SYS_capset, &header, data) == 0);
    const QHostAddress server(QStringLiteral("127.0.0.2"));
    const LocalHttpServer http(folder.path(), server);
    auto engine = std::make_unique<CVideoSniffer>("lo");
    engine->registerCallback(collectReport);
    verifyReport(QHostAddress(QStringLiteral("127.0.0.1")), server, http.port(),
                 "127.0.0.2:" + QByteArray::number(http.port()));
    const QDeadlineTimer stopping(1500);
    engine.reset();
    QVERIFY(!stopping.hasExpired());
}

QTEST_GUILESS_MAIN(tst_CaptureLive)
#include "tst_CaptureLive.moc"
