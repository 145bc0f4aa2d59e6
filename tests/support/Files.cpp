#include "Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool childrenEnded()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        // "pid (name) state ppid ...", where the name may hold spaces and parentheses.
        const QByteArray stat = readFile(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self) {
            return false;
        }
    }
    return true;
}
