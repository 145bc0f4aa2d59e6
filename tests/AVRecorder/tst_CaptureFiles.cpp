#include "CaptureFiles.h"

#include <QRegularExpression>
#include <QTest>

using Platform::Os;

namespace {

const QDateTime noon(QDate(2024, 3, 5), QTime(12, 0, 7));

} // namespace

class tst_CaptureFiles final : public QObject
{
    Q_OBJECT

private slots:
    void baseName_data();
    void baseName();
    void paths_data();
    void paths();
};

void tst_CaptureFiles::baseName_data()
{
    QTest::addColumn<QString>("otherDir");
    QTest::addColumn<QDateTime>("otherTime");
    QTest::addColumn<bool>("same");
    const QString dir = QStringLiteral("/home/ann/.local/share/Corvane 2/temp");
    QTest::newRow("same second, same folder") << dir << noon.addMSecs(900) << true;
    QTest::newRow("next second") << dir << noon.addSecs(1) << false;
    QTest::newRow("same second next day") << dir << noon.addDays(1) << false;
    QTest::newRow("other folder") << QStringLiteral("/tmp/temp") << noon << false;
}

void tst_CaptureFiles::baseName()
{
    QFETCH(QString, otherDir);
    QFETCH(QDateTime, otherTime);
    QFETCH(bool, same);
    const QString first = captureBaseName(QStringLiteral("/home/ann/.local/share/Corvane 2/temp"), noon);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(first).hasMatch());
    QCOMPARE(captureBaseName(otherDir, otherTime) == first, same);
}

void tst_CaptureFiles::paths_data()
{
    QTest::addColumn<Os>("os");
    QTest::addColumn<QString>("tempDir");
    QTest::addColumn<QString>("stem");
    QTest::newRow("Windows") << Os::Windows << QStringLiteral("C:\\Users\\ann\\AppData\\Roaming\\Corvane 2\\temp")
                             << QStringLiteral("C:\\Users\\ann\\AppData\\Roaming\\Corvane 2\\temp\\");
    QTest::newRow("here") << Os::Unix << QStringLiteral("/home/ann/Corvane 2/temp")
                          << QStringLiteral("/home/ann/Corvane 2/temp/");
}

void tst_CaptureFiles::paths()
{
    QFETCH(Os, os);
    QFETCH(QString, tempDir);
    QFETCH(QString, stem);
    const QString base = captureBaseName(tempDir, noon);
    const CaptureFiles files = captureFiles(tempDir, noon, os);
    QCOMPARE(files.audioFile, stem + base + QStringLiteral("_a.mpg"));
    QCOMPARE(files.videoFile, stem + base + QStringLiteral("_v.mpg"));
    QCOMPARE(files.resultFile, stem + base + QStringLiteral("_res.mpg"));
    // A paused recording's parts: the first keeps the captures' names, each has a result of its own.
    const CaptureFiles first = capturePart(files, 1);
    QCOMPARE(QStringList({ first.audioFile, first.videoFile, first.resultFile }),
             QStringList({ files.audioFile, files.videoFile, stem + base + QStringLiteral("_res1.mpg") }));
    QCOMPARE(capturePart(files, 3).videoFile, stem + base + QStringLiteral("_v3.mpg"));
}

QTEST_GUILESS_MAIN(tst_CaptureFiles)
#include "tst_CaptureFiles.moc"
