#include "StopDialog.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <array>

namespace {

// The dot drawn largest: the one covering most pixels that differ from the background in its column.
int litDot(StopDialog &dialog)
{
    const QImage image = dialog.grab().toImage();
    const int cx = dialog.width() / 2;
    const int cy = dialog.height() / 2;
    const QRgb background = image.pixel(2, cy);
    const std::array<int, 5> lefts { cx - 29, cx - 17, cx - 5, cx + 7, cx + 19 };
    int lit = -1;
    int most = 0;
    for (int dot = 0; dot < 5; ++dot) {
        int covered = 0;
        for (int x = lefts[dot]; x < lefts[dot] + 10; ++x) {
            for (int y = cy - 10; y <= cy + 1; ++y) {
                covered += image.pixel(x, y) != background ? 1 : 0;
            }
        }
        if (covered > most) {
            most = covered;
            lit = dot;
        }
    }
    return lit;
}

} // namespace

class tst_StopDialog final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runningLight_data();
    void runningLight();
    void stopButtonAsksToStop();
};

void tst_StopDialog::initTestCase()
{
    Q_INIT_RESOURCE(images);
}

void tst_StopDialog::runningLight_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("lit");

    QTest::newRow("at start") << 0 << 0;
    QTest::newRow("one step") << 1 << 1;
    QTest::newRow("middle dot") << 2 << 2;
    QTest::newRow("last dot") << 4 << 4;
    QTest::newRow("wraps to the first") << 5 << 0;
    QTest::newRow("second round") << 6 << 1;
}

void tst_StopDialog::runningLight()
{
    QFETCH(int, steps);
    QFETCH(int, lit);

    StopDialog dialog;
    for (int step = 0; step < steps; ++step) {
        dialog.update();
    }
    QCOMPARE(litDot(dialog), lit);
}

void tst_StopDialog::stopButtonAsksToStop()
{
    StopDialog dialog;
    QSignalSpy stop(&dialog, &StopDialog::stop);
    QSignalSpy closeStop(&dialog, &StopDialog::closeStop);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QWidget *>(QStringLiteral("pushButtonStop")), Qt::LeftButton);
    QCOMPARE(stop.size(), 1);
    dialog.close();
    QCOMPARE(closeStop.size(), 1);
    QCOMPARE(stop.size(), 1);
}

QTEST_MAIN(tst_StopDialog)
#include "tst_StopDialog.moc"
