#include "RecordingName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_RecordingName final : public QObject
{
    Q_OBJECT

private slots:
    void defaultNameNeverMeetsAFile_data();
    void defaultNameNeverMeetsAFile();
};

void tst_RecordingName::defaultNameNeverMeetsAFile_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty folder") << QStringList() << QStringLiteral("Screen_Capture_1");
    QTest::newRow("an earlier recording")
        << QStringList { QStringLiteral("Screen_Capture_1.mpg") } << QStringLiteral("Screen_Capture_2");
    QTest::newRow("any offered container counts, a gap is reused")
        << QStringList { QStringLiteral("Screen_Capture_1.mp3"), QStringLiteral("Screen_Capture_2.mkv"),
                         QStringLiteral("Screen_Capture_4.mpg") }
        << QStringLiteral("Screen_Capture_3");
}

void tst_RecordingName::defaultNameNeverMeetsAFile()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QTemporaryDir folder;
    for (const QString &name : existing) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(RecordingName::defaultName(folder.path()), expected);
}

QTEST_GUILESS_MAIN(tst_RecordingName)
#include "tst_RecordingName.moc"
