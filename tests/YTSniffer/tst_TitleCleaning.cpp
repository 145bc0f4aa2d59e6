#include "TitleCleaning.h"

#include <QTest>

class tst_TitleCleaning final : public QObject
{
    Q_OBJECT

private slots:
    void cleanTitle_data();
    void cleanTitle();
};

void tst_TitleCleaning::cleanTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");

    QTest::newRow("letters of every script")
        << QStringLiteral("Café – Live! 東京") << QStringLiteral("Café – Live! 東京");
    QTest::newRow("slash cannot stay") << QStringLiteral("Part (1)/Intro") << QStringLiteral("Part (1)Intro");
    QTest::newRow("white space runs") << QStringLiteral("  a\t\tb \n c  ") << QStringLiteral("a b c");
    QTest::newRow("cut at 30") << QStringLiteral("abcdefghi abcdefghi abcdefghi abcdefghi")
                               << QStringLiteral("abcdefghi abcdefghi abcdefghi ");
    QTest::newRow("cut before a character of two halves")
        << QString(QStringLiteral("a").repeated(29) + QStringLiteral("\U0001F600")) << QStringLiteral("a").repeated(29);
    QTest::newRow("empty") << QStringLiteral(" ") << QString();
}

void tst_TitleCleaning::cleanTitle()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(::cleanTitle(title), expected);
}

QTEST_GUILESS_MAIN(tst_TitleCleaning)
#include "tst_TitleCleaning.moc"
