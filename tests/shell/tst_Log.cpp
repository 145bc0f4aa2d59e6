#include "DataFolder.h"
#include "Files.h"
#include "Log.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <array>
#include <cstdio>
#include <initializer_list>
#include <unistd.h>
#include <utility>

namespace {

// Runs fn while the given standard streams (1, 2) all go to one file, as on a terminal, and returns
// what was written.
template<typename Fn>
QByteArray captureStreams(std::initializer_list<int> fds, const QString &path, Fn fn)
{
    std::fflush(nullptr);
    FILE *target = std::fopen(QFile::encodeName(path).constData(), "w");
    QList<std::pair<int, int>> saved;
    for (const int fd : fds) {
        saved.append({ fd, dup(fd) });
        dup2(fileno(target), fd);
    }
    fn();
    std::fflush(nullptr);
    for (const auto &[fd, copy] : std::as_const(saved)) {
        dup2(copy, fd);
        close(copy);
    }
    std::fclose(target);
    return readFile(path);
}

constexpr int threadCount = 8;
constexpr int perThread = 500;

// Long lines, so that a line echoed in several writes leaves room for other threads to cut in.
QByteArray threadMessage(int thread, int index)
{
    return QByteArray("thread ") + QByteArray::number(thread) + " message " + QByteArray::number(index) + ' '
        + QByteArray(100 + (index * 397) % 4000, char('a' + thread));
}

// Expects every thread's messages, even ones debug and odd ones critical, each on a whole line of its own
// and in the thread's order. Describes the first line that breaks this, or returns nothing.
QString firstBrokenLine(const QByteArray &content, const QByteArray &lineEnd, bool prefixed)
{
    if (!content.endsWith(lineEnd)) {
        return QStringLiteral("the last line is not ended");
    }
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast();
    static const QRegularExpression head(QStringLiteral("^(?:[DC]: )?thread (\\d+) message "));
    std::array<int, threadCount> next {};
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray &text = lines.at(n);
        const QString shown = QStringLiteral("line %1 (%2 bytes): %3")
                                  .arg(n + 1)
                                  .arg(text.size())
                                  .arg(QString::fromLatin1(text.left(60)));
        const QRegularExpressionMatch match = head.match(QString::fromLatin1(text.left(40)));
        const int t = match.hasMatch() ? match.captured(1).toInt() : threadCount;
        if (t >= threadCount || next.at(t) >= perThread) {
            return shown;
        }
        const int i = next.at(t)++;
        const QByteArray prefix = !prefixed ? QByteArray() : i % 2 == 0 ? QByteArray("D: ") : QByteArray("C: ");
        if (text + '\n' != prefix + threadMessage(t, i) + lineEnd) {
            return shown;
        }
    }
    if (lines.size() != threadCount * perThread) {
        return QStringLiteral("%1 lines instead of %2").arg(lines.size()).arg(threadCount * perThread);
    }
    return {};
}

} // namespace

class tst_Log final : public QObject
{
    Q_OBJECT

private slots:
    void fileNameByDayOfYear_data();
    void fileNameByDayOfYear();
    void appendsPrefixedLinesWithCrLf();
    void secretsHidden_data();
    void secretsHidden();
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
    // A second run on the same day appends to the same file, and narrows it if an older version did not.
    const QString path = folder + QStringLiteral("/log_34.txt");
    QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther));
    Log::append(folder, day, QtDebugMsg, QStringLiteral("again"));

    QCOMPARE(readFile(path), QByteArray("D: abc\r\nW: careful\r\nC: !!! ERROR:  broken\r\nF: the end\r\nD: again\r\n"));
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void tst_Log::secretsHidden_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("raw header block") << "GET /\r\nCookie: a=\"1\"\r\nauthorization: b\nX: y"
                                      << "GET /\r\nCookie: [hidden]\r\nauthorization: [hidden]\nX: y";
    QTest::newRow("QDebug-quoted") << R"("A\r\nSET-COOKIE: a=\"1\"\r\nB" ("\"", "Proxy-Authorization:t"))"
                                   << R"("A\r\nSET-COOKIE: [hidden]\r\nB" ("\"", "Proxy-Authorization:[hidden]"))";
    QTest::newRow("tool command line") << R"(-headers "Cookie: a=1\r\nReferer: x\r\n" -i u)"
                                       << R"(-headers "Cookie: [hidden]\r\nReferer: x\r\n" -i u)";
    QTest::newRow("harmless") << "Cookies, Authorization"
                              << "Cookies, Authorization";
}

void tst_Log::secretsHidden()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromUtf8(Log::line(QtInfoMsg, message)), "I: " + shown + "\r\n");
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
    const QByteArray out = captureStreams({ 1 }, home.path() + QStringLiteral("/out.txt"), [] { qDebug("Cookie:a"); });
    const QByteArray err = captureStreams({ 2 }, home.path() + QStringLiteral("/err.txt"), [] { qCritical("bad"); });
    qInstallMessageHandler(previous);

    QCOMPARE(out, QByteArray("Cookie:[hidden]\n"));
    QCOMPARE(err, QByteArray("bad\n"));
    QCOMPARE(readFile(Log::fileName(dataFolderPath(), QDate::currentDate())),
             QByteArray("D: Cookie:[hidden]\r\nC: bad\r\n"));
}

void tst_Log::threadsNeverInterleaveLines()
{
    TempHome home;
    const auto previous = qInstallMessageHandler(Log::messageHandler);
    QList<QThread *> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.append(QThread::create([t] {
            for (int i = 0; i < perThread; ++i) {
                if (i % 2 == 0) {
                    qDebug("%s", threadMessage(t, i).constData());
                } else {
                    qCritical("%s", threadMessage(t, i).constData());
                }
            }
        }));
    }
    const QByteArray console = captureStreams({ 1, 2 }, home.path() + QStringLiteral("/console.txt"), [&threads] {
        for (QThread *thread : threads) {
            thread->start();
        }
        for (QThread *thread : threads) {
            thread->wait();
        }
    });
    qDeleteAll(threads);
    qInstallMessageHandler(previous);

    const QString onConsole = firstBrokenLine(console, "\n", false);
    QVERIFY2(onConsole.isEmpty(), qPrintable(onConsole));
    const QString inFile
        = firstBrokenLine(readFile(Log::fileName(dataFolderPath(), QDate::currentDate())), "\r\n", true);
    QVERIFY2(inFile.isEmpty(), qPrintable(inFile));
}

QTEST_GUILESS_MAIN(tst_Log)
#include "tst_Log.moc"
