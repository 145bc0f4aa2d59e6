#include <QTest>

class tst_Menus final : public QObject
{
    Q_OBJECT
};

QTEST_MAIN(tst_Menus)
#include "tst_Menus.moc"
