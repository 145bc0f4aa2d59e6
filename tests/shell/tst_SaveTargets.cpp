#include <QTest>

class tst_SaveTargets final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_SaveTargets)
#include "tst_SaveTargets.moc"
