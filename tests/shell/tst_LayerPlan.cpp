#include <QTest>

class tst_LayerPlan final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_LayerPlan)
#include "tst_LayerPlan.moc"
