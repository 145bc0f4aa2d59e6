#include "WindowFixture.h"

#include "Files.h"
#include "SettingsFile.h"
#include "ToolRelease.h"

#include <QApplication>
#include <QDir>
#include <QFile>

WindowFixture::WindowFixture(const QByteArray &settings, const QString &home)
    : tempHome(home)
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
    return withToolRelease(readFile(QStringLiteral(CORVANE_SOURCE_DIR "/resources/sniffer.ini")));
}
