#include "ProgressAnimation.h"

#include <QTest>

using namespace ProgressAnimation;

class tst_ProgressAnimation final : public QObject
{
    Q_OBJECT

private slots:
    void creepingBar_data();
    void creepingBar();
    void dotsSwing();
};

void tst_ProgressAnimation::creepingBar_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<unsigned int>("random");
    QTest::addColumn<int>("next");
    QTest::newRow("creeps from the start") << 0 << 5U << 1;
    QTest::newRow("creeps up to 98") << 97 << 5U << 98;
    QTest::newRow("wraps to the floor") << 98 << 0U << 20;
    QTest::newRow("wraps at most to 99") << 98 << 79U << 99;
    QTest::newRow("wraps modulo the span") << 98 << 80U + 79U << 99;
}

void tst_ProgressAnimation::creepingBar()
{
    QFETCH(int, value);
    QFETCH(unsigned int, random);
    QTEST(nextValue(value, 0, 100, random), "next");
}

void tst_ProgressAnimation::dotsSwing()
{
    Dots dots;
    QCOMPARE(dots.text(), QStringLiteral("..."));
    QList<int> seen;
    for (int tick = 0; tick < 22; ++tick) {
        dots.step();
        seen.append(dots.text().size());
    }
    const QList<int> expected { 4, 5, 6, 7, 8, 9, 10, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 2, 3, 4, 5 };
    QCOMPARE(seen, expected);
}

QTEST_GUILESS_MAIN(tst_ProgressAnimation)
#include "tst_ProgressAnimation.moc"
