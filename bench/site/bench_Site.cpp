// From pressing the process button to the options page being shown, against running the tool's title and
// formats requests directly, both at once, on the same local page in the same run.

#include "Files.h"
#include "LocalHttpServer.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int Rounds = 7;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double windowRound(const WindowFixture &fixture, const QString &url)
{
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    fixture.find<QLineEdit>(QStringLiteral("inputURL"))->setText(url);
    QWidget *options = fixture.find<QWidget>(QStringLiteral("widgetOptions"));
    // The page is shown by the handler of whichever reply comes second; look right after each.
    QEventLoop shown;
    const auto look = [options, &shown] {
        if (options->isVisible()) {
            shown.quit();
        }
    };
    Downloader &driver = fixture.window().siteDownloader();
    QObject::connect(&driver, &Downloader::haveTitle, &shown, look, Qt::QueuedConnection);
    QObject::connect(&driver, &Downloader::haveFormats, &shown, look, Qt::QueuedConnection);
    QElapsedTimer timer;
    timer.start();
    fixture.find<QPushButton>(QStringLiteral("btnProcessURL"))->click();
    shown.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    fixture.find<QPushButton>(QStringLiteral("btnBack"))->click();
    return seconds;
}

double directRound(const QString &url)
{
    const QString tool = QStringLiteral(CORVANE_TOOLS_DIR "/ytdl");
    const QString noCheck = QStringLiteral("--no-check-certificate");
    std::array<QProcess, 2> requests;
    QElapsedTimer timer;
    timer.start();
    requests[0].start(tool, { noCheck, QStringLiteral("--get-title"), QStringLiteral("--get-duration"), url });
    requests[1].start(tool, { noCheck, QStringLiteral("--list-formats"), url });
    for (QProcess &request : requests) {
        request.waitForFinished(60000);
        request.readAll();
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir served;
    const QByteArray page = "<html><head><title>Harbour walk</title></head><body><video src=\"clip.mp4\"></video>"
                            "</body></html>";
    QProcess clip;
    clip.setWorkingDirectory(served.path());
    clip.start(QStringLiteral(CORVANE_TOOLS_DIR "/ffmpeg"),
               { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                 QStringLiteral("-i"), QStringLiteral("testsrc=duration=5:size=320x240:rate=25"),
                 QStringLiteral("-movflags"), QStringLiteral("+faststart"), QStringLiteral("clip.mp4") });
    if (!clip.waitForFinished(60000) || clip.exitCode() != 0
        || !writeFile(served.filePath(QStringLiteral("walk.html")), page)) {
        return 1;
    }
    const LocalHttpServer server(served.path());
    const QString url = server.url(QStringLiteral("walk.html"));

    QByteArray settings = WindowFixture::deliveredSettings();
    settings.replace("[os_urls]\n", "[os_urls]\n0=127.0.0.1\n");
    settings += "\n[General]\nlast_update=" + QByteArray::number(QDate::currentDate().dayOfYear()) + '\n';
    const WindowFixture fixture(settings);

    // One round of each first, so neither side pays for a cold start.
    windowRound(fixture, url);
    directRound(url);
    std::vector<double> window;
    std::vector<double> direct;
    for (int round = 0; round < Rounds; ++round) {
        window.push_back(windowRound(fixture, url));
        direct.push_back(directRound(url));
    }

    const double windowMs = median(window) * 1000;
    const double directMs = median(direct) * 1000;
    QTextStream(stdout) << "site options page: " << qRound(windowMs) << " ms (direct tool requests " << qRound(directMs)
                        << " ms, ratio " << QString::number(windowMs / directMs, 'f', 3) << ")" << Qt::endl;
    return 0;
}
