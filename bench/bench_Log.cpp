#include "Log.h"

#include <QDate>
#include <QTemporaryDir>
#include <QTest>

// The log opens, appends to and closes the day's file for every message; this measures that cost.
class bench_Log final : public QObject
{
    Q_OBJECT

private slots:
    void appendOneLine();
};

void bench_Log::appendOneLine()
{
    QTemporaryDir dir;
    const QDate day(2026, 6, 1);
    const QString message = QStringLiteral("/src/Sniffer/Sniffer.cpp 42 showLayer : OK");
    QBENCHMARK
    {
        Log::append(dir.path(), day, QtDebugMsg, message);
    }
}

QTEST_GUILESS_MAIN(bench_Log)
#include "bench_Log.moc"
