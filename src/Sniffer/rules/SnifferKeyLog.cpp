#include "SnifferKeyLog.h"

#include "Trace.h"

#include <QDir>
#include <QFile>

namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

SnifferKeyLog::SnifferKeyLog(const QString &userFile, const QString &dataFolder)
    : filePath(userFile.isEmpty() ? QDir::toNativeSeparators(QDir(dataFolder).filePath(QStringLiteral("keys.log")))
                                  : userFile)
    , own(userFile.isEmpty())
{ }

SnifferKeyLog::~SnifferKeyLog()
{
    if (own && QFile::exists(filePath) && !QFile::remove(filePath)) {
        traceError() << "SnifferKeyLog"
                     << ":"
                     << "cannot remove" << filePath;
    }
}

QString SnifferKeyLog::path() const
{
    return filePath;
}

bool SnifferKeyLog::isOwn() const
{
    return own;
}

bool SnifferKeyLog::empty()
{
    return prepare(true);
}

bool SnifferKeyLog::create()
{
    return prepare(false);
}

bool SnifferKeyLog::removeLeftover()
{
    if (!own || !QFile::exists(filePath)) {
        return true;
    }
    // Emptied first: another name for the same file would otherwise keep the secrets.
    if (!empty() || !QFile::remove(filePath)) {
        traceError() << "SnifferKeyLog"
                     << ":"
                     << "cannot remove the leftover" << filePath;
        return false;
    }
    return true;
}

bool SnifferKeyLog::prepare(bool truncate)
{
    if (!own) {
        return true;
    }
    QFile file(filePath);
    // Created owner-only from the start; a file left by an earlier run is narrowed as well.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | (truncate ? QIODevice::Truncate : QIODevice::Append);
    if (!file.open(mode, ownerOnly) || !file.setPermissions(ownerOnly)) {
        traceError() << "SnifferKeyLog"
                     << ":"
                     << "cannot prepare" << filePath << file.errorString();
        return false;
    }
    return true;
}
