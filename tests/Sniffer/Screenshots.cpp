#include "CVideoSniffer.h"
#include "CYouTubeDownloadDlg.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

// Saves pictures of the main window's pages and of the About dialog for the README.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);

    const WindowFixture fixture(WindowFixture::deliveredSettings()
                                + "\n[General]\nsavepath_video=/home/you/Documents/Corvane 2/Video\n"
                                  "savepath_audio=/home/you/Documents/Corvane 2/Audio\n");
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
                    { "media.example.org/clips/trailer.webm", "webm\r\n", "153600000\r\n" } };
    for (const auto &report : reports) {
        Sniffer::queueSniffReport(report.url, "GET / HTTP/1.1\r\n\r\n", report.length, report.type);
    }
    // Without capture rights the page first explains why; the picture is of the list.
    if (CVideoSniffer::listInterfaces().isEmpty() || geteuid() != 0) {
        answerNextModal([](QWidget *modal) { static_cast<QDialog *>(modal)->accept(); });
    }
    fixture.find<QPushButton>(QStringLiteral("btnSniffer"))->click();
    auto *media = fixture.find<QListWidget>(QStringLiteral("mediaList"));
    for (int wait = 0; wait < 40 && media->count() < 4; ++wait) {
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

    window.showLayer(LayerProgress);
    fixture.find<QProgressBar>(QStringLiteral("progressBar"))->setValue(42);
    shoot(window, QStringLiteral("layer1-progress"));

    auto *formats = fixture.find<QListWidget>(QStringLiteral("listFormats"));
    for (const char *row : { "18   mp4   640x360    AAC 96 KBps", "22   mp4   1280x720   AAC 192 KBps",
                             "43   webm  640x360    Vorbis 128 KBps" }) {
        formats->addItem(QString::fromLatin1(row));
    }
    formats->setFixedHeight(27 * formats->count() + 4);
    fixture.find<QLabel>(QStringLiteral("lblTitle"))->setText(QStringLiteral("A walk in the park"));
    fixture.find<QLabel>(QStringLiteral("lblDLLength"))->setText(QStringLiteral("3:25"));
    window.videoInfo().received = { RequestTitle, RequestFormats };
    window.showLayer(LayerOptions);
    shoot(window, QStringLiteral("layer3-options"));

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
