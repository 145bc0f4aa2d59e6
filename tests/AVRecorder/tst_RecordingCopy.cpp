#include "Files.h"
#include "FullDisk.h"
#include "RecordingCopy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_RecordingCopy final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void copyReplacesOnlyWhenAgreed_data();
    void copyReplacesOnlyWhenAgreed();
    void noRecordingKeepsEverything_data();
    void noRecordingKeepsEverything();
    void failedCopyKeepsRecordingAndTarget();
    void failureTextSaysWhereTheRecordingIs();

private:
    QStringList temporaries() const;

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<QTemporaryDir> target;
    QString video;
    QString audio;
    QString result;
};

void tst_RecordingCopy::init()
{
    temp = std::make_unique<QTemporaryDir>();
    target = std::make_unique<QTemporaryDir>();
    video = temp->filePath(QStringLiteral("C2_1_v.mpg"));
    audio = temp->filePath(QStringLiteral("C2_1_a.mpg"));
    result = temp->filePath(QStringLiteral("C2_1_res.mpg"));
    QVERIFY(writeFile(video, "picture"));
    QVERIFY(writeFile(audio, "sound"));
    QVERIFY(writeFile(result, QByteArray(200 * 1024, 'r')));
}

QStringList tst_RecordingCopy::temporaries() const
{
    return { video, audio, result };
}

void tst_RecordingCopy::copyReplacesOnlyWhenAgreed_data()
{
    QTest::addColumn<bool>("agreed");
    QTest::newRow("agreed") << true;
    QTest::newRow("not asked") << false;
}

void tst_RecordingCopy::copyReplacesOnlyWhenAgreed()
{
    QFETCH(bool, agreed);
    const auto replace = agreed ? UserFileSave::Replace::Agreed : UserFileSave::Replace::Refuse;
    const QString saved = target->filePath(QStringLiteral("Screen_Capture_1.mpg"));
    QVERIFY(writeFile(saved, "an older save"));

    const RecordingCopy::Outcome outcome = RecordingCopy::copy(result, saved, replace, temporaries());
    QCOMPARE(outcome.result, agreed ? RecordingCopy::Result::Copied : RecordingCopy::Result::Failed);
    QCOMPARE(readFile(saved), agreed ? QByteArray(200 * 1024, 'r') : QByteArray("an older save"));
    QCOMPARE(QDir(temp->path()).entryList(QDir::Files).size(), agreed ? 0 : 3);
    QCOMPARE(QDir(target->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::Dirs),
             QStringList { QStringLiteral("Screen_Capture_1.mpg") });
}

void tst_RecordingCopy::noRecordingKeepsEverything_data()
{
    QTest::addColumn<bool>("empty");
    QTest::newRow("missing") << false;
    QTest::newRow("empty") << true;
}

void tst_RecordingCopy::noRecordingKeepsEverything()
{
    QFETCH(bool, empty);
    QVERIFY(empty ? writeFile(result, {}) : QFile::remove(result));
    const QString saved = target->filePath(QStringLiteral("Screen_Capture_1.mpg"));

    QCOMPARE(RecordingCopy::copy(result, saved, UserFileSave::Replace::Agreed, temporaries()).result,
             RecordingCopy::Result::NoRecording);
    QVERIFY(!QFile::exists(saved));
    QCOMPARE(readFile(video), QByteArray("picture"));
    QCOMPARE(readFile(audio), QByteArray("sound"));
}

void tst_RecordingCopy::failedCopyKeepsRecordingAndTarget()
{
    const FullDisk disk(target->path());
    if (!disk.mounted) {
        QSKIP("mounting a tmpfs needs root");
    }
    const QString saved = target->filePath(QStringLiteral("Screen_Capture_1.mpg"));
    QVERIFY(writeFile(saved, "an older save"));

    const RecordingCopy::Outcome outcome
        = RecordingCopy::copy(result, saved, UserFileSave::Replace::Agreed, temporaries());
    QCOMPARE(outcome.result, RecordingCopy::Result::Failed);
    QVERIFY(!outcome.reason.isEmpty());
    QCOMPARE(readFile(saved), QByteArray("an older save"));
    QCOMPARE(QDir(target->path()).entryList(QDir::Files), QStringList { QStringLiteral("Screen_Capture_1.mpg") });
    QCOMPARE(QFileInfo(result).size(), 200 * 1024);
    QVERIFY(QFile::exists(video) && QFile::exists(audio));
}

void tst_RecordingCopy::failureTextSaysWhereTheRecordingIs()
{
    const QString text = RecordingCopy::failureText(QStringLiteral("/x/a<b>.mpg"), result, QStringLiteral("Disk full"));
    QVERIFY2(text.contains(QStringLiteral("<i>/x/a&lt;b&gt;.mpg</i>")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Disk full")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("C2_1_res.mpg")), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(temp->path())), qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_RecordingCopy)
#include "tst_RecordingCopy.moc"
