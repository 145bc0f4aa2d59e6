#include <QTest>

class tst_Window final : public QObject
{
    Q_OBJECT
};

QTEST_MAIN(tst_Window)
#include "tst_Window.moc"
