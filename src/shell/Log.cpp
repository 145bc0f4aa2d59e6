#include "Log.h"

#include "DataFolder.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <array>
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

// Matched at the end of a field's name, so that Set-Cookie and Proxy-Authorization are hidden as well.
constexpr std::array secretNames { QLatin1StringView("cookie"), QLatin1StringView("authorization") };

// Where the value starts when a secret field's name and its colon begin at `at`; -1 when none does.
qsizetype secretValueStart(QStringView text, qsizetype at)
{
    const auto skipBlanks = [text](qsizetype from) {
        while (from < text.size() && (text.at(from) == u' ' || text.at(from) == u'\t')) {
            ++from;
        }
        return from;
    };
    for (const QLatin1StringView name : secretNames) {
        if (text.sliced(at).startsWith(name, Qt::CaseInsensitive)) {
            const qsizetype colon = skipBlanks(at + name.size());
            return colon < text.size() && text.at(colon) == u':' ? skipBlanks(colon + 1) : -1;
        }
    }
    return -1;
}

// Inside a QDebug-quoted string, \" and \\ stand for one character of the string.
bool escapedPair(QStringView text, qsizetype at)
{
    return text.at(at) == u'\\' && at + 1 < text.size() && (text.at(at + 1) == u'"' || text.at(at + 1) == u'\\');
}

// A value ends at a line end, real or escaped as QDebug writes it, or at the quote that closes the string it is in.
qsizetype secretValueEnd(QStringView text, qsizetype at, bool quoted)
{
    for (; at < text.size(); ++at) {
        const QChar c = text.at(at);
        const QChar next = at + 1 < text.size() ? text.at(at + 1) : QChar();
        if (c == u'\r' || c == u'\n' || (quoted && c == u'"') || (c == u'\\' && (next == u'r' || next == u'n'))) {
            return at;
        }
        at += quoted && escapedPair(text, at) ? 1 : 0;
    }
    return text.size();
}

// Captured request headers and tool command lines reach the log: their credentials never do.
QString withSecretsHidden(const QString &message)
{
    if (!message.contains(secretNames.at(0), Qt::CaseInsensitive)
        && !message.contains(secretNames.at(1), Qt::CaseInsensitive)) {
        return message;
    }
    QString hidden;
    qsizetype copied = 0;
    // Inside a string QDebug quoted; such a string never holds a real line end.
    bool quoted = false;
    for (qsizetype at = 0; at < message.size();) {
        const QChar c = message.at(at);
        if (c == u'\r' || c == u'\n' || c == u'"') {
            quoted = c == u'"' && !quoted;
            ++at;
        } else if (quoted && escapedPair(message, at)) {
            at += 2;
        } else if (const qsizetype start = secretValueStart(message, at); start < 0) {
            ++at;
        } else {
            at = secretValueEnd(message, start, quoted);
            if (at > start) {
                hidden += QStringView(message).sliced(copied, start - copied);
                hidden += QLatin1StringView("[hidden]");
                copied = at;
            }
        }
    }
    if (copied == 0) {
        return message;
    }
    hidden += QStringView(message).sliced(copied);
    return hidden;
}

QByteArray lineOf(QtMsgType type, const QString &shown)
{
    return QByteArray(prefix(type)) + shown.toUtf8() + "\r\n";
}

void appendUnlocked(const QString &folder, const QDate &date, QtMsgType type, const QString &shown)
{
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
    }
    constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(fileName(folder, date));
    // Created owner-only; a file an earlier version left readable by others is narrowed as well.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append, ownerOnly) && file.setPermissions(ownerOnly)) {
        file.write(lineOf(type, shown));
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
    return lineOf(type, withSecretsHidden(message));
}

void append(const QString &folder, const QDate &date, QtMsgType type, const QString &message)
{
    const QString shown = withSecretsHidden(message);
    const QMutexLocker locker(&writerMutex());
    appendUnlocked(folder, date, type, shown);
}

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const QString shown = withSecretsHidden(message);
    const QMutexLocker locker(&writerMutex());
    FILE *console = toStandardError(type) ? stderr : stdout;
    std::fputs(shown.toLocal8Bit().constData(), console);
    std::fputc('\n', console);
    std::fflush(console);
    appendUnlocked(dataFolderPath(), QDate::currentDate(), type, shown);
}

} // namespace Log
