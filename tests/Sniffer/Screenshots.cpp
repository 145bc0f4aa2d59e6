#include "WindowFixture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

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
    window.showLayer(LayerSniffer);
    shoot(window, QStringLiteral("layer5-sniffer"));

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
