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

    QTest::newRow("accents and punctuation") << QStringLiteral("Café – Live!") << QStringLiteral("Caf Live");
    QTest::newRow("brackets kept, slash split") << QStringLiteral("Part (1)/Intro") << QStringLiteral("Part (1) Intro");
    QTest::newRow("white space runs") << QStringLiteral("  a\t\tb \n c  ") << QStringLiteral("a b c");
    QTest::newRow("cut at 30, cut not trimmed") << QStringLiteral("abcdefghi abcdefghi abcdefghi abcdefghi")
                                                << QStringLiteral("abcdefghi abcdefghi abcdefghi ");
    QTest::newRow("only non-ASCII letters") << QStringLiteral("Привет мир") << QString();
    // What the tool prints for a page, read as Latin-1 the way the driver reads it.
    QTest::newRow("UTF-8 read as Latin-1")
        << QString::fromLatin1("Page Title \xE2\x80\x93 Live! (1)") << QStringLiteral("Page Title Live (1)");
}

void tst_TitleCleaning::cleanTitle()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);
    QCOMPARE(::cleanTitle(title), expected);
}

QTEST_GUILESS_MAIN(tst_TitleCleaning)
#include "tst_TitleCleaning.moc"
