#include <QTest>

class tst_Messages final : public QObject
{
    Q_OBJECT
};

QTEST_MAIN(tst_Messages)
#include "tst_Messages.moc"
