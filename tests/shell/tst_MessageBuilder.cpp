#include <QTest>

class tst_MessageBuilder final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_MessageBuilder)
#include "tst_MessageBuilder.moc"
