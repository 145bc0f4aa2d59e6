// The worker against curl on the same 1 GiB body from a loopback server in this process, both writing
// to a file in the same folder. The worker runs in a child process so that its peak memory is its own.

#include "CYouTubeDownloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

namespace {

constexpr qint64 BodySize = qint64(1) << 30;
constexpr int Rounds = 3;

// Streams a generated body to each connection in turn without ever holding it.
class BodyServer final
{
public:
    BodyServer()
    {
        std::promise<quint16> ready;
        std::future<quint16> port = ready.get_future();
        thread = std::thread([this, &ready] { serve(ready); });
        serverPort = port.get();
    }
    ~BodyServer()
    {
        stop = true;
        thread.join();
    }
    BodyServer(const BodyServer &) = delete;
    BodyServer &operator=(const BodyServer &) = delete;

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/body.flv").arg(serverPort); }

private:
    void serve(std::promise<quint16> &ready)
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        ready.set_value(server.serverPort());
        const QByteArray chunk(1 << 20, 'x');
        while (!stop) {
            if (!server.waitForNewConnection(200)) {
                continue;
            }
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            QByteArray request;
            while (!request.contains("\r\n\r\n") && socket->waitForReadyRead(5000)) {
                request += socket->readAll();
            }
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: video/x-flv\r\nContent-Length: "
                          + QByteArray::number(BodySize) + "\r\nConnection: close\r\n\r\n");
            for (qint64 left = BodySize; left > 0 && socket->state() == QAbstractSocket::ConnectedState;) {
                const qint64 count = std::min<qint64>(left, chunk.size());
                socket->write(chunk.constData(), count);
                left -= count;
                while (socket->bytesToWrite() > 4 * chunk.size() && socket->waitForBytesWritten(5000)) { }
            }
            while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) { }
            socket->disconnectFromHost();
        }
    }

    std::thread thread;
    std::atomic<bool> stop = false;
    quint16 serverPort = 0;
};

double peakMemoryMiB()
{
#if defined(Q_OS_UNIX)
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
#else
    return -1.0;
#endif
}

// The child: one transfer; prints "<seconds> <peak MiB> <error>".
int fetch(const QString &url, const QString &target)
{
    CYouTubeDownloader worker;
    worker.setUrl(url);
    worker.setFileName(target);
    QElapsedTimer timer;
    QObject::connect(&worker, &CYouTubeDownloader::finished, qApp, [&worker, &timer] {
        QTextStream(stdout) << double(timer.nsecsElapsed()) / 1e9 << ' ' << peakMemoryMiB() << ' '
                            << worker.networkError() + (worker.errorText().isEmpty() ? 0 : 1000) << Qt::endl;
        QCoreApplication::quit();
    });
    timer.start();
    worker.startDownload();
    return QCoreApplication::exec();
}

QList<double> runChild(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(600000);
    QList<double> figures;
    for (const QString &word : QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char(' '))) {
        figures.append(word.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble());
    }
    if (process.exitCode() != 0) {
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    }
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments.at(1) == QStringLiteral("--fetch")) {
        return fetch(arguments.at(2), arguments.at(3));
    }

    BodyServer server;
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/bench-download-XXXXXX"));
    const QString target = folder.filePath(QStringLiteral("body.flv"));
    const double megabytes = double(BodySize) / 1e6;
    double curlBest = 0;
    double workerBest = 0;
    double peak = 0;
    for (int round = 0; round < Rounds; ++round) {
        const QList<double> curl = runChild(QStringLiteral("curl"),
                                            { QStringLiteral("-s"), QStringLiteral("-o"), target, QStringLiteral("-w"),
                                              QStringLiteral("%{time_total}"), server.url() });
        if (QFile(target).size() != BodySize) {
            qFatal("curl fetched %lld bytes", QFile(target).size());
        }
        QFile::remove(target);
        curlBest = std::max(curlBest, megabytes / curl.value(0));

        const QList<double> worker
            = runChild(QCoreApplication::applicationFilePath(), { QStringLiteral("--fetch"), server.url(), target });
        if (worker.value(2) != 0 || QFile(target).size() != BodySize) {
            qFatal("the worker failed (%g) with %lld bytes", worker.value(2), QFile(target).size());
        }
        QFile::remove(target);
        workerBest = std::max(workerBest, megabytes / worker.value(0));
        peak = std::max(peak, worker.value(1));
    }

    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "download throughput: " << workerBest << " MB/s (curl " << curlBest << " MB/s, ratio ";
    out.setRealNumberPrecision(2);
    out << workerBest / curlBest << ")\n";
    out.setRealNumberPrecision(1);
    out << "download peak memory: " << peak << " MiB (limit 64 MiB, ratio ";
    out.setRealNumberPrecision(2);
    out << peak / 64.0 << ")" << Qt::endl;
    return 0;
}
