#include "Platform.h"
#include "Registry.h"
#include "TempHome.h"

#include <QSettings>
#include <QTest>

class tst_Registry final : public QObject
{
    Q_OBJECT

private slots:
    void removesOnlyTheRegion();
};

void tst_Registry::removesOnlyTheRegion()
{
    TempHome home;
    const QString store = Platform::captureFilterStore();
    QCOMPARE(store, home.path() + QStringLiteral("/.config/screen-capture-recorder.conf"));
    {
        QSettings filter(store, QSettings::NativeFormat);
        for (const char *key :
             { "start_x", "start_y", "capture_width", "capture_height", "capture_mouse", "default_max_fps" }) {
            filter.setValue(QLatin1String(key), 10);
        }
    }

    Registry::clean();

    const QSettings filter(store, QSettings::NativeFormat);
    QCOMPARE(filter.allKeys().size(), 2);
    QCOMPARE(filter.value(QStringLiteral("capture_mouse")).toInt(), 10);
    QCOMPARE(filter.value(QStringLiteral("default_max_fps")).toInt(), 10);
}

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_Registry.moc"
