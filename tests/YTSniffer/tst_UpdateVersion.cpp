#include "UpdateVersion.h"

#include <QTest>

class tst_UpdateVersion final : public QObject
{
    Q_OBJECT

private slots:
    void versionFromUpdateOutput_data();
    void versionFromUpdateOutput();
};

void tst_UpdateVersion::versionFromUpdateOutput_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("expected");

    QTest::newRow("up to date") << QStringLiteral("ytdl is up-to-date (2014.05.19)") << QStringLiteral("2014.05.19");
    QTest::newRow("plus sign kept") << QStringLiteral("Updated to 2023.03.04+git") << QStringLiteral("2023.03.04+");
    QTest::newRow("ellipsis removed") << QStringLiteral("Updating... done: 2023.03.04") << QStringLiteral("2023.03.04");
    QTest::newRow("trailing dot drops two") << QStringLiteral("Now at 2023.03.04.") << QStringLiteral("2023.03.0");
    QTest::newRow("too short") << QStringLiteral("version 1.2.3") << QStringLiteral("last");
    QTest::newRow("no digits") << QStringLiteral("is up-to-date") << QStringLiteral("last");
}

void tst_UpdateVersion::versionFromUpdateOutput()
{
    QFETCH(QString, output);
    QFETCH(QString, expected);
    QCOMPARE(::versionFromUpdateOutput(output), expected);
}

QTEST_GUILESS_MAIN(tst_UpdateVersion)
#include "tst_UpdateVersion.moc"
