#include <QTest>

class tst_SavePaths final : public QObject
{
    Q_OBJECT
};

QTEST_MAIN(tst_SavePaths)
#include "tst_SavePaths.moc"
