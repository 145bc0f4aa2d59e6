#include <QTest>

class tst_MenuEntries final : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(tst_MenuEntries)
#include "tst_MenuEntries.moc"
