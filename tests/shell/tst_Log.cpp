#include "DataFolder.h"
#include "Files.h"
#include "Log.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

// Runs fn while the given standard stream (1 or 2) goes to a file, and returns what was written.
template<typename Fn>
QByteArray captureStream(int fd, const QString &path, Fn fn)
{
    std::fflush(nullptr);
    const int saved = dup(fd);
    FILE *target = std::fopen(QFile::encodeName(path).constData(), "w");
    dup2(fileno(target), fd);
    fn();
    std::fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    std::fclose(target);
    return readFile(path);
}

} // namespace

class tst_Log final : public QObject
{
    Q_OBJECT

private slots:
    void fileNameByDayOfYear_data();
    void fileNameByDayOfYear();
    void appendsPrefixedLinesWithCrLf();
    void recreatesDeletedFolder();
    void handlerWritesConsoleAndDailyFile();
    void threadsNeverInterleaveLines();
};

void tst_Log::fileNameByDayOfYear_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    QTest::newRow("1 January") << QDate(2026, 1, 1) << QStringLiteral("log_1.txt");
    QTest::newRow("no leading zeros") << QDate(2026, 1, 9) << QStringLiteral("log_9.txt");
    QTest::newRow("31 December of a leap year") << QDate(2024, 12, 31) << QStringLiteral("log_366.txt");
    QTest::newRow("31 December otherwise") << QDate(2026, 12, 31) << QStringLiteral("log_365.txt");
}

void tst_Log::fileNameByDayOfYear()
{
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(Log::fileName(QStringLiteral("/data"), date), QDir::toNativeSeparators(QStringLiteral("/data/") + name));
}

void tst_Log::appendsPrefixedLinesWithCrLf()
{
    TempHome home;
    const QString folder = home.dataFolder();
    const QDate day(2025, 2, 3);
    Log::append(folder, day, QtDebugMsg, QStringLiteral("abc"));
    Log::append(folder, day, QtWarningMsg, QStringLiteral("careful"));
    Log::append(folder, day, QtCriticalMsg, QStringLiteral("!!! ERROR:  broken"));
    Log::append(folder, day, QtFatalMsg, QStringLiteral("the end"));
    // A second run on the same day appends to the same file.
    Log::append(folder, day, QtDebugMsg, QStringLiteral("again"));

    QCOMPARE(readFile(folder + QStringLiteral("/log_34.txt")),
             QByteArray("D: abc\r\nW: careful\r\nC: !!! ERROR:  broken\r\nF: the end\r\nD: again\r\n"));
}

void tst_Log::recreatesDeletedFolder()
{
    TempHome home;
    const QString folder = home.dataFolder();
    const QDate day(2025, 12, 31);
    Log::append(folder, day, QtDebugMsg, QStringLiteral("first"));
    QVERIFY(QDir(folder).removeRecursively());

    Log::append(folder, day, QtDebugMsg, QStringLiteral("second"));
    QCOMPARE(readFile(folder + QStringLiteral("/log_365.txt")), QByteArray("D: second\r\n"));
}

void tst_Log::handlerWritesConsoleAndDailyFile()
{
    TempHome home;
    const auto previous = qInstallMessageHandler(Log::messageHandler);
    const QByteArray out = captureStream(1, home.path() + QStringLiteral("/out.txt"), [] { qDebug("abc"); });
    const QByteArray err = captureStream(2, home.path() + QStringLiteral("/err.txt"), [] { qCritical("bad"); });
    qInstallMessageHandler(previous);

    QCOMPARE(out, QByteArray("abc\n"));
    QCOMPARE(err, QByteArray("bad\n"));
    QCOMPARE(readFile(Log::fileName(dataFolderPath(), QDate::currentDate())), QByteArray("D: abc\r\nC: bad\r\n"));
}

void tst_Log::threadsNeverInterleaveLines()
{
    TempHome home;
    const auto previous = qInstallMessageHandler(Log::messageHandler);
    constexpr int threadCount = 4;
    constexpr int perThread = 150;
    QList<QThread *> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.append(QThread::create([t] {
            for (int i = 0; i < perThread; ++i) {
                qDebug("thread %d message %d %s", t, i, QByteArray(50 + (i * 7) % 300, 'x').constData());
            }
        }));
    }
    captureStream(1, home.path() + QStringLiteral("/out.txt"), [&threads] {
        for (QThread *thread : threads) {
            thread->start();
        }
        for (QThread *thread : threads) {
            thread->wait();
        }
    });
    qDeleteAll(threads);
    qInstallMessageHandler(previous);

    const QByteArray content = readFile(Log::fileName(dataFolderPath(), QDate::currentDate()));
    QVERIFY(content.endsWith("\r\n"));
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast();
    QCOMPARE(lines.size(), threadCount * perThread);
    static const QRegularExpression whole(QStringLiteral("^D: thread [0-3] message \\d+ x{50,}\\r$"));
    for (const QByteArray &line : lines) {
        QVERIFY2(whole.match(QString::fromLatin1(line)).hasMatch(), line.constData());
    }
}

QTEST_GUILESS_MAIN(tst_Log)
#include "tst_Log.moc"
