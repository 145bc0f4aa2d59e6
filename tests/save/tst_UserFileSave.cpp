#include "Files.h"
#include "FullDisk.h"
#include "SaveName.h"
#include "UserFileSave.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class tst_UserFileSave final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void toolFileReplacesOnlyWhenAgreed_data();
    void toolFileReplacesOnlyWhenAgreed();
    void oldFileSurvivesAWriteCutOffHalfWay();
    void namesKeepWhatTheFileSystemHolds_data();
    void namesKeepWhatTheFileSystemHolds();

private:
    QStringList entries() const;

    std::unique_ptr<QTemporaryDir> folder;
    QString target;
};

void tst_UserFileSave::init()
{
    folder = std::make_unique<QTemporaryDir>();
    target = folder->filePath(QStringLiteral("Holiday.mp4"));
    QVERIFY(writeFile(target, "the user's own holiday"));
}

QStringList tst_UserFileSave::entries() const
{
    return QDir(folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

void tst_UserFileSave::toolFileReplacesOnlyWhenAgreed_data()
{
    QTest::addColumn<UserFileSave::Replace>("replace");
    QTest::addColumn<bool>("committed");
    QTest::newRow("agreed") << UserFileSave::Replace::Agreed << true;
    QTest::newRow("not asked") << UserFileSave::Replace::Refuse << false;
}

void tst_UserFileSave::toolFileReplacesOnlyWhenAgreed()
{
    QFETCH(UserFileSave::Replace, replace);
    QFETCH(bool, committed);
    {
        UserFileSave save(target, replace);
        const QString work = save.workPath(QStringLiteral("Holiday.mp4"));
        QVERIFY(!work.isEmpty());
        // The tool finds an empty folder of its own, never the user's file.
        QVERIFY(QDir(save.workFolder()).isEmpty());
        QVERIFY(writeFile(work, "the page's video"));
        QCOMPARE(readFile(target), QByteArray("the user's own holiday"));
        QCOMPARE(save.commit(work), committed);
        QCOMPARE(save.errorString().isEmpty(), committed);
    }
    QCOMPARE(readFile(target), committed ? QByteArray("the page's video") : QByteArray("the user's own holiday"));
    QCOMPARE(entries(), QStringList { QStringLiteral("Holiday.mp4") });
}

void tst_UserFileSave::oldFileSurvivesAWriteCutOffHalfWay()
{
    const QString disk = folder->filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(disk));
    FullDisk full(disk);
    if (!full.mounted) {
        QSKIP("needs root to mount a small file system");
    }
    target = QDir(disk).filePath(QStringLiteral("Trailer (1).mp3"));
    QVERIFY(writeFile(target, "eight seconds"));
    {
        UserFileSave save(target, UserFileSave::Replace::Agreed);
        QIODevice *file = save.open();
        QVERIFY(file != nullptr);
        const QByteArray block(16 * 1024, 'x');
        bool failed = false;
        for (int i = 0; i < 16 && !failed; ++i) {
            failed = file->write(block) != block.size();
        }
        QVERIFY(failed || !save.commit());
    }
    QCOMPARE(readFile(target), QByteArray("eight seconds"));
    QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList { QStringLiteral("Trailer (1).mp3") });
}

void tst_UserFileSave::namesKeepWhatTheFileSystemHolds_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Platform::Os>("os");
    QTest::addColumn<QString>("saved");
    QTest::newRow("dots") << QStringLiteral("Mr. Bean 1.5") << Platform::Os::Unix << QStringLiteral("Mr. Bean 1.5");
    QTest::newRow("not Latin") << QStringLiteral("日本語") << Platform::Os::Unix << QStringLiteral("日本語");
    QTest::newRow("separator") << QStringLiteral("AC/DC") << Platform::Os::Unix << QStringLiteral("ACDC");
    QTest::newRow("Windows") << QStringLiteral("What? A \"film\": 2.") << Platform::Os::Windows
                             << QStringLiteral("What A film 2");
    QTest::newRow("nothing left") << QStringLiteral("//") << Platform::Os::Unix << QStringLiteral("untitled");
}

void tst_UserFileSave::namesKeepWhatTheFileSystemHolds()
{
    QFETCH(QString, typed);
    QFETCH(Platform::Os, os);
    QFETCH(QString, saved);
    QCOMPARE(SaveName::clean(typed, os), saved);
}

QTEST_GUILESS_MAIN(tst_UserFileSave)
#include "tst_UserFileSave.moc"
