#include "AVRecorder.h"
#include "CVideoSniffer.h"
#include "CYouTubeDownloadDlg.h"
#include "LocalHttpServer.h"
#include "StopDialog.h"
#include "UpdatedToday.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// A five-second clip, and the same clip in two sizes behind a master playlist.
bool makeClips(const QString &folder)
{
    const QList<QStringList> runs { { "-f", "lavfi", "-i", "testsrc=duration=5:size=320x240:rate=25", "-f", "lavfi",
                                      "-i", "sine=duration=5", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                      "-movflags", "+faststart", "clip.mp4" },
                                    { "-i",
                                      "clip.mp4",
                                      "-filter_complex",
                                      "[0:v]split=2[big][s];[s]scale=160:120[small]",
                                      "-map",
                                      "[big]",
                                      "-map",
                                      "0:a",
                                      "-map",
                                      "[small]",
                                      "-map",
                                      "0:a",
                                      "-c:v",
                                      "libx264",
                                      "-b:v:0",
                                      "500k",
                                      "-b:v:1",
                                      "200k",
                                      "-c:a",
                                      "aac",
                                      "-f",
                                      "hls",
                                      "-hls_time",
                                      "2",
                                      "-hls_playlist_type",
                                      "vod",
                                      "-var_stream_map",
                                      "v:0,a:0 v:1,a:1",
                                      "-master_pl_name",
                                      "master.m3u8",
                                      "-hls_segment_filename",
                                      "v%v_%03d.ts",
                                      "v%v.m3u8" } };
    for (const QStringList &arguments : runs) {
        QProcess ffmpeg;
        ffmpeg.setWorkingDirectory(folder);
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     QStringList { QStringLiteral("-v"), QStringLiteral("error") } + arguments);
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
            return false;
        }
    }
    return true;
}

// Stands in for the video the user records: colour bars over a grey ramp.
QPixmap testCard(const QSize &size)
{
    QPixmap card(size);
    QPainter painter(&card);
    const QList<QColor> bars { Qt::white, Qt::yellow, Qt::cyan, Qt::green, Qt::magenta, Qt::red, Qt::blue };
    const int barsHeight = size.height() * 3 / 4;
    for (qsizetype bar = 0; bar < bars.size(); ++bar) {
        const int left = static_cast<int>(size.width() * bar / bars.size());
        const int right = static_cast<int>(size.width() * (bar + 1) / bars.size());
        painter.fillRect(left, 0, right - left, barsHeight, bars[bar]);
    }
    QLinearGradient ramp(0, 0, size.width(), 0);
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::white);
    painter.fillRect(0, barsHeight, size.width(), size.height() - barsHeight, ramp);
    return card;
}

} // namespace

// Saves pictures of the main window's pages, its dialogs and the screen recorder for the README.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);

    QByteArray settings = WindowFixture::deliveredSettings();
    settings.replace("[os_urls]\n", "[os_urls]\n0=127.0.0.1\n");
    const WindowFixture fixture(updatedToday(settings
                                             + "\n[General]\nsavepath_video=/home/you/Documents/Corvane 2/Video\n"
                                               "savepath_audio=/home/you/Documents/Corvane 2/Audio\n"));
    Sniffer &window = fixture.window();
    int failures = 0;
    const auto shoot = [&](QWidget &widget, const QString &name) {
        QTest::qWait(200);
        if (!widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"))) {
            ++failures;
        }
    };

    shoot(window, QStringLiteral("layer0-main"));
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderYT"))->click();
    shoot(window, QStringLiteral("layer2-url"));
    window.showLayer(LayerSettings);
    shoot(window, QStringLiteral("layer4-default-folders"));

    const struct
    {
        const char *url;
        const char *type;
        const char *length;
    } reports[] = { { "media.example.org/clips/harbour.mp4", "mp4\r\n", "48234496\r\n" },
                    { "cdn.example.net/v/interview.flv", "x-flv\r\n", "9874321\r\n" },
                    { "radio.example.com/show/episode-12.mp3", "MP3", "31457280\r\n" },
                    { "media.example.org/clips/trailer.webm", "webm\r\n", "153600000\r\n" },
                    { "https://video.example.com/watch/sunrise.mp4", "mp4\r\n", "125184000\r\n" } };
    for (const auto &report : reports) {
        Sniffer::queueSniffReport(report.url, "GET / HTTP/1.1\r\n\r\n", report.length, report.type, {});
    }
    // Without capture rights the page first explains why; the picture is of the list.
    if (CVideoSniffer::listInterfaces().isEmpty() || geteuid() != 0) {
        answerNextModal([](QWidget *modal) { static_cast<QDialog *>(modal)->accept(); });
    }
    fixture.find<QPushButton>(QStringLiteral("btnSniffer"))->click();
    auto *media = fixture.find<QListWidget>(QStringLiteral("mediaList"));
    for (int wait = 0; wait < 100 && media->count() < 5; ++wait) {
        QTest::qWait(50);
    }
    shoot(window, QStringLiteral("layer5-sniffer"));

    CYouTubeDownloadDlg download(&window);
    download.show();
    download.setPercentage(45);
    download.setTimeLeft(75, 21705523, 48234496);
    download.setTransferRate(812.3);
    download.setStatus(QStringLiteral("Receiving data"));
    download.findChild<QLabel *>(QStringLiteral("lbFileStatus"))
        ->setText(QStringLiteral("harbour.mp4 from media.example.org"));
    shoot(download, QStringLiteral("download-dialog"));
    download.hide();

    // The recorder frame over a test card, taken from the screen: what shows through its grey is what this
    // X server composes of the window's opacity.
    {
        QLabel card;
        card.setWindowFlags(Qt::FramelessWindowHint);
        card.setPixmap(testCard(QSize(640, 360)));
        card.move(120, 120);
        card.show();
        AVRecorder recorder(nullptr, QCoreApplication::applicationDirPath(), fixture.home().path());
        recorder.move(card.pos() + QPoint(80, 90));
        recorder.show();
        if (!QTest::qWaitForWindowExposed(&card) || !QTest::qWaitForWindowExposed(&recorder)) {
            ++failures;
        }
        QTest::qWait(500);
        QScreen *screen = recorder.screen();
        const QRect around
            = recorder.frameGeometry().adjusted(-48, -48, 48, 48).translated(-screen->geometry().topLeft());
        if (!screen->grabWindow(0, around.x(), around.y(), around.width(), around.height())
                 .save(folder + QStringLiteral("/recorder-frame.png"))) {
            ++failures;
        }
    }

    StopDialog stopDialog;
    stopDialog.setStatus(QStringLiteral("1:23 \u00b7 14.2 MB"));
    stopDialog.show();
    shoot(stopDialog, QStringLiteral("stop-dialog"));
    stopDialog.hide();

    // The site download, against a clip served from a temporary folder: a real listing of its two sizes, the
    // progress page of a slowly served copy, and the box that ends it.
    QTemporaryDir served;
    if (!makeClips(served.path())) {
        return failures + 1;
    }
    const LocalHttpServer server(served.path());
    auto *url = fixture.find<QLineEdit>(QStringLiteral("inputURL"));
    QWidget *options = fixture.find<QWidget>(QStringLiteral("widgetOptions"));
    fixture.find<QPushButton>(QStringLiteral("btnDownloaderOS"))->click();
    url->setText(server.url(QStringLiteral("master.m3u8")));
    fixture.find<QPushButton>(QStringLiteral("btnProcessURL"))->click();
    if (!QTest::qWaitFor([options] { return options->isVisible(); }, 60000)) {
        return failures + 1;
    }
    shoot(window, QStringLiteral("layer3-options"));

    // Two more addresses queued behind the slow first one.
    fixture.find<QPushButton>(QStringLiteral("btnBack"))->click();
    const QList<std::pair<QString, QString>> queued { { QStringLiteral("clip.mp4?drip=500"),
                                                        QStringLiteral("A walk in the park") },
                                                      { QStringLiteral("clip.mp4?n=2"), QStringLiteral("Harbour") },
                                                      { QStringLiteral("clip.mp4?n=3"), QStringLiteral("Old town") } };
    for (const auto &[address, name] : queued) {
        if (name != queued.constFirst().second) {
            fixture.find<QPushButton>(QStringLiteral("btnAddAddress"))->click();
        }
        url->setText(server.url(address));
        fixture.find<QPushButton>(QStringLiteral("btnProcessURL"))->click();
        if (!QTest::qWaitFor([options] { return options->isVisible(); }, 60000)) {
            return failures + 1;
        }
        const QString target = served.filePath(name);
        answerNextModal([target](QWidget *modal) {
            modal->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(target);
            static_cast<QDialog *>(modal)->accept();
        });
        fixture.find<QPushButton>(QStringLiteral("btnDownloadVideo"))->click();
    }
    bool completed = false;
    auto *bar = fixture.find<QProgressBar>(QStringLiteral("progressBar"));
    if (QTest::qWaitFor([bar] { return bar->isVisible() && bar->value() >= 30 && bar->value() < 90; }, 60000)) {
        shoot(window, QStringLiteral("layer1-progress"));
    } else {
        ++failures;
    }
    answerNextModal([&](QWidget *modal) {
        shoot(*modal, QStringLiteral("completion-box"));
        completed = true;
        static_cast<QMessageBox *>(modal)->button(QMessageBox::Ok)->click();
    });
    if (!QTest::qWaitFor([&completed] { return completed; }, 60000)) {
        ++failures;
    }

    window.showAboutDialog();
    QDialog *about = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top != &window && qobject_cast<QDialog *>(top) != nullptr) {
            about = qobject_cast<QDialog *>(top);
        }
    }
    if (about != nullptr) {
        shoot(*about, QStringLiteral("about"));
    } else {
        ++failures;
    }
    return failures;
}
