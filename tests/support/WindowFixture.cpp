#include "WindowFixture.h"

#include "Files.h"
#include "SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTimer>

WindowFixture::WindowFixture(const QByteArray &settings)
{
    Q_INIT_RESOURCE(images);
    QDir().mkpath(tempHome.dataFolder());
    QFile file(SettingsFile::settingsPath(tempHome.dataFolder()));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(settings);
    }
    file.close();
    sniffer = std::make_unique<Sniffer>();
    sniffer->start();
    QObject::connect(qApp, &QApplication::focusChanged, sniffer.get(), &Sniffer::focusChanged);
}

WindowFixture::~WindowFixture() = default;

QByteArray WindowFixture::deliveredSettings()
{
    return readFile(QStringLiteral(CORVANE_SOURCE_DIR "/resources/sniffer.ini"));
}

void answerNextModal(std::function<void(QWidget *)> answer)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        answer(modal);
    });
    poll->start();
}
