#include "UserFileSave.h"
#include "WorkFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_WorkFolders : public QObject
{
    Q_OBJECT

private slots:
    void leftoversOfACrashAreRemovedOrOffered();
    void aListThatNamesOtherFoldersIsNotFollowed();

private:
    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

void tst_WorkFolders::leftoversOfACrashAreRemovedOrOffered()
{
    QTemporaryDir user;
    const QString list = user.filePath(QStringLiteral("work-folders.json"));
    WorkFolders::setListFile(list);
    QString unfinished;
    QByteArray listAtCrash;
    {
        UserFileSave save(user.filePath(QStringLiteral("a.mp4")), UserFileSave::Replace::Refuse);
        unfinished = save.workFolder();
        listAtCrash = read(list);
    }
    QVERIFY(listAtCrash.contains(QFileInfo(unfinished).fileName().toUtf8()));
    QVERIFY(!read(list).contains(QFileInfo(unfinished).fileName().toUtf8()));
    // What a crash in the middle of that save, and of another whose download was complete, leaves.
    QVERIFY(QDir().mkpath(unfinished));
    put(QDir(unfinished).filePath(QStringLiteral("video.mp4.part")), "part");
    put(list, listAtCrash);
    WorkFolders::setListFile(list);
    const QString complete = user.filePath(QStringLiteral(".corvane-save-done"));
    QVERIFY(QDir().mkpath(complete));
    put(QDir(complete).filePath(QStringLiteral("video.mp4")), "whole");
    put(user.filePath(QStringLiteral("b.mp4")), "the user's");
    WorkFolders::added(complete, user.filePath(QStringLiteral("b.mp4")));
    WorkFolders::completed(complete, QDir(complete).filePath(QStringLiteral("video.mp4")));

    WorkFolders::setListFile(list);
    const QList<WorkFolders::Leftover> offered = WorkFolders::sweep();
    QVERIFY(!QFileInfo::exists(unfinished));
    QCOMPARE(offered.size(), 1);
    QCOMPARE(WorkFolders::keep(offered.first()), user.filePath(QStringLiteral("b (1).mp4")));
    QVERIFY(!QFileInfo::exists(complete));
    QCOMPARE(read(user.filePath(QStringLiteral("b (1).mp4"))), QByteArray("whole"));
    QCOMPARE(read(user.filePath(QStringLiteral("b.mp4"))), QByteArray("the user's"));
    WorkFolders::setListFile(list);
    QVERIFY(WorkFolders::sweep().isEmpty());
    WorkFolders::setListFile({});
}

void tst_WorkFolders::aListThatNamesOtherFoldersIsNotFollowed()
{
    QTemporaryDir user;
    const QString list = user.filePath(QStringLiteral("work-folders.json"));
    const QString documents = user.filePath(QStringLiteral("Documents"));
    QVERIFY(QDir().mkpath(documents));
    put(QDir(documents).filePath(QStringLiteral("letter.txt")), "keep me");
    const QString escaping = user.filePath(QStringLiteral(".corvane-save-x/../Documents"));
    put(list,
        "[{\"folder\": \"" + documents.toUtf8()
            + "\", \"target\": \"/x.mp4\"},"
              " {\"folder\": \""
            + escaping.toUtf8() + "\", \"target\": \"/y.mp4\", \"complete\": \"\"}, 7, \"garbage\"]");
    WorkFolders::setListFile(list);
    QVERIFY(WorkFolders::sweep().isEmpty());
    QVERIFY(QFileInfo::exists(QDir(documents).filePath(QStringLiteral("letter.txt"))));
    put(list, "not json at all");
    WorkFolders::setListFile(list);
    QVERIFY(WorkFolders::sweep().isEmpty());
    WorkFolders::setListFile({});
}

QTEST_GUILESS_MAIN(tst_WorkFolders)
#include "tst_WorkFolders.moc"
