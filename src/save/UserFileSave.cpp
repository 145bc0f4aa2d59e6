#include "UserFileSave.h"

#include "Trace.h"
#include "WorkFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(path.toStdU16String());
}

} // namespace

UserFileSave::UserFileSave(const QString &finalPath, Replace replaceExisting)
    : target(QFileInfo(finalPath).absoluteFilePath())
    , replace(replaceExisting)
{ }

UserFileSave::~UserFileSave()
{
    discard();
}

QString UserFileSave::finalPath() const
{
    return target;
}

bool UserFileSave::exists(const QString &finalPath)
{
    return QFileInfo(finalPath).exists() || QFileInfo(finalPath).isSymLink();
}

QString UserFileSave::workFolder()
{
    if (!resumed.isEmpty()) {
        return resumed;
    }
    if (!work) {
        const QString folder = QFileInfo(target).absolutePath();
        auto made = std::make_unique<QTemporaryDir>(QDir(folder).filePath(QStringLiteral(".corvane-save-XXXXXX")));
        if (!made->isValid()) {
            error = QStringLiteral("No work folder can be made in %1: %2")
                        .arg(QDir::toNativeSeparators(folder), made->errorString());
            traceError() << "UserFileSave" << error;
            return {};
        }
        work = std::move(made);
        WorkFolders::added(work->path(), target);
    }
    return work->path();
}

bool UserFileSave::resume(const QString &folder)
{
    const QFileInfo found(folder);
    if (work || !resumed.isEmpty() || !found.isDir() || found.isSymLink()
        || found.absolutePath() != QFileInfo(target).absolutePath()
        || !found.fileName().startsWith(QLatin1String(".corvane-save-"))) {
        return false;
    }
    resumed = found.absoluteFilePath();
    WorkFolders::added(resumed, target);
    return true;
}

QString UserFileSave::workPath(const QString &fileName)
{
    const QString folder = workFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(fileName);
}

QIODevice *UserFileSave::open()
{
    if (!mayWrite()) {
        return nullptr;
    }
    writer = std::make_unique<QSaveFile>(target);
    if (!writer->open(QIODevice::WriteOnly)) {
        error = QStringLiteral("The file %1 could not be written: %2")
                    .arg(QDir::toNativeSeparators(target), writer->errorString());
        traceError() << "UserFileSave" << error;
        writer.reset();
        return nullptr;
    }
    return writer.get();
}

bool UserFileSave::commit(const QString &completedFile)
{
    if (!mayWrite()) {
        return false;
    }
    bool moved = false;
    if (replace == Replace::Agreed) {
        // One step, on every platform: the old file stays until the new one takes its place.
        std::error_code code;
        std::filesystem::rename(fsPath(completedFile), fsPath(target), code);
        moved = !code;
        if (code) {
            error = QString::fromStdString(code.message());
        }
    } else {
        // Never replaces: a file that appeared meanwhile stays.
        QFile completed(completedFile);
        moved = completed.rename(target);
        if (!moved) {
            error = completed.errorString();
        }
    }
    if (!moved) {
        error = QStringLiteral("The file %1 could not be written: %2").arg(QDir::toNativeSeparators(target), error);
        traceError() << "UserFileSave" << error;
        return false;
    }
    trace() << "UserFileSave"
            << "saved" << target;
    return true;
}

bool UserFileSave::commit()
{
    if (!writer) {
        return false;
    }
    if (!mayWrite()) {
        writer->cancelWriting();
        writer->commit();
        writer.reset();
        return false;
    }
    if (!writer->commit()) {
        error = QStringLiteral("The file %1 could not be written: %2")
                    .arg(QDir::toNativeSeparators(target), writer->errorString());
        traceError() << "UserFileSave" << error;
        writer.reset();
        return false;
    }
    writer.reset();
    trace() << "UserFileSave"
            << "saved" << target;
    return true;
}

void UserFileSave::discard()
{
    if (writer) {
        writer->cancelWriting();
        writer->commit();
        writer.reset();
    }
    if (!resumed.isEmpty()) {
        WorkFolders::removed(resumed);
        QDir(resumed).removeRecursively();
        resumed.clear();
    }
    if (work) {
        WorkFolders::removed(work->path());
        work->remove();
        work.reset();
    }
}

QString UserFileSave::errorString() const
{
    return error;
}

bool UserFileSave::mayWrite()
{
    if (replace == Replace::Refuse && exists(target)) {
        error = QStringLiteral("%1 already exists and is left as it is.").arg(QDir::toNativeSeparators(target));
        traceError() << "UserFileSave" << error;
        return false;
    }
    return true;
}
