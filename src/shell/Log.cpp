#include "Log.h"

#include "DataFolder.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace Log {

namespace {

// One writer at a time: the console echo takes several writes per line, and other threads would cut in.
QMutex &writerMutex()
{
    static QMutex mutex;
    return mutex;
}

const char *prefix(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "D: ";
    case QtInfoMsg:
        return "I: ";
    case QtWarningMsg:
        return "W: ";
    case QtCriticalMsg:
        return "C: ";
    case QtFatalMsg:
        return "F: ";
    }
    return "D: ";
}

bool toStandardError(QtMsgType type)
{
    return type == QtCriticalMsg || type == QtFatalMsg;
}

void appendUnlocked(const QString &folder, const QDate &date, QtMsgType type, const QString &message)
{
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
    }
    QFile file(fileName(folder, date));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write(line(type, message));
    }
}

} // namespace

QString fileName(const QString &folder, const QDate &date)
{
    return QDir::toNativeSeparators(folder + QStringLiteral("/log_") + QString::number(date.dayOfYear())
                                    + QStringLiteral(".txt"));
}

QByteArray line(QtMsgType type, const QString &message)
{
    return QByteArray(prefix(type)) + message.toUtf8() + "\r\n";
}

void append(const QString &folder, const QDate &date, QtMsgType type, const QString &message)
{
    const QMutexLocker locker(&writerMutex());
    appendUnlocked(folder, date, type, message);
}

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const QMutexLocker locker(&writerMutex());
    FILE *console = toStandardError(type) ? stderr : stdout;
    std::fputs(message.toLocal8Bit().constData(), console);
    std::fputc('\n', console);
    std::fflush(console);
    appendUnlocked(dataFolderPath(), QDate::currentDate(), type, message);
}

} // namespace Log
