#include "Files.h"
#include "SnifferKeyLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class tst_SnifferKeyLog final : public QObject
{
    Q_OBJECT

private slots:
    void ownFileIsPrivateEmptiedAndRemoved();
    void userFileIsLeftAlone();
};

void tst_SnifferKeyLog::ownFileIsPrivateEmptiedAndRemoved()
{
    QTemporaryDir data;
    const QString path = data.filePath(QStringLiteral("keys.log"));
    {
        SnifferKeyLog keyLog(QString(), data.path());
        QCOMPARE(keyLog.path(), path);
        QVERIFY(writeFile(path, "left by an earlier run\n"));
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther);
        QVERIFY(keyLog.empty());
        QCOMPARE(QFileInfo(path).size(), 0);
        QVERIFY(!(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
        QVERIFY(writeFile(path, "CLIENT_RANDOM a b\n"));
        QVERIFY(keyLog.create());
        QCOMPARE(QFileInfo(path).size(), 18);
    }
    QVERIFY(!QFile::exists(path));
    // Left by a crash, and linked elsewhere too: found at the next start.
    const QString other = data.filePath(QStringLiteral("other"));
    QVERIFY(writeFile(path, "CLIENT_RANDOM a b\n") && link(qPrintable(path), qPrintable(other)) == 0);
    SnifferKeyLog next(QString(), data.path());
    QVERIFY(next.removeLeftover() && !QFile::exists(path));
    QCOMPARE(QFileInfo(other).size(), 0);
}

void tst_SnifferKeyLog::userFileIsLeftAlone()
{
    QTemporaryDir data;
    const QString path = data.filePath(QStringLiteral("mine.log"));
    {
        SnifferKeyLog missing(path, data.path());
        QVERIFY(missing.empty() && missing.create());
    }
    QVERIFY(!QFile::exists(path));
    QVERIFY(writeFile(path, "CLIENT_RANDOM a b\n"));
    const QFileDevice::Permissions permissions = QFile::permissions(path);
    {
        SnifferKeyLog keyLog(path, data.path());
        QVERIFY(keyLog.path() == path && keyLog.empty() && keyLog.create() && keyLog.removeLeftover());
    }
    QCOMPARE(QFileInfo(path).size(), 18);
    QCOMPARE(QFile::permissions(path), permissions);
}

QTEST_GUILESS_MAIN(tst_SnifferKeyLog)
#include "tst_SnifferKeyLog.moc"
