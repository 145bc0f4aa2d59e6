#include "WorkFolders.h"

#include "SaveName.h"
#include "Trace.h"
#include "UserFileSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <mutex>

namespace WorkFolders {

namespace {

const QLatin1String folderPrefix(".corvane-save-");

struct State
{
    QString listPath;
    // This run's folders.
    QList<Leftover> listed;
    // What the list held when this run began, until swept, kept or discarded.
    QList<Leftover> earlier;
    std::recursive_mutex mutex;
};

State &state()
{
    static State current;
    return current;
}

void write()
{
    const State &current = state();
    if (current.listPath.isEmpty()) {
        return;
    }
    QJsonArray entries;
    for (const Leftover &entry : current.listed + current.earlier) {
        entries.append(QJsonObject { { QStringLiteral("folder"), entry.folder },
                                     { QStringLiteral("target"), entry.target },
                                     { QStringLiteral("complete"), entry.complete } });
    }
    QSaveFile file(current.listPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(entries).toJson()) < 0 || !file.commit()) {
        traceError() << "WorkFolders : the list" << current.listPath << "could not be written:" << file.errorString();
    }
}

// Only a folder a save made is ever removed, whatever the list file says.
bool isWorkFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isAbsolute() && info.fileName().startsWith(folderPrefix) && info.isDir() && !info.isSymLink();
}

bool removeFolder(const QString &folder)
{
    if (!isWorkFolder(folder)) {
        return true;
    }
    const bool removed = QDir(folder).removeRecursively();
    trace() << "WorkFolders : left by an earlier run," << folder << (removed ? "removed" : "could not be removed");
    return removed;
}

void forget(const QString &folder)
{
    const auto named = [&](const Leftover &entry) { return entry.folder == folder; };
    state().listed.removeIf(named);
    state().earlier.removeIf(named);
    write();
}

QList<Leftover> readList(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<Leftover> entries;
    for (const QJsonValue &value : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject entry = value.toObject();
        entries.append({ entry.value(QStringLiteral("folder")).toString(),
                         entry.value(QStringLiteral("target")).toString(),
                         entry.value(QStringLiteral("complete")).toString() });
    }
    return entries;
}

} // namespace

void setListFile(const QString &path)
{
    const std::lock_guard lock(state().mutex);
    state().listPath = path;
    state().listed.clear();
    state().earlier = readList(path);
}

void added(const QString &folder, const QString &target)
{
    const std::lock_guard lock(state().mutex);
    state().listed.append({ folder, target, {} });
    write();
}

void completed(const QString &folder, const QString &file)
{
    const std::lock_guard lock(state().mutex);
    for (Leftover &entry : state().listed) {
        if (entry.folder == folder) {
            entry.complete = file;
        }
    }
    write();
}

void removed(const QString &folder)
{
    const std::lock_guard lock(state().mutex);
    forget(folder);
}

QList<Leftover> sweep(const QStringList &spare)
{
    const std::lock_guard lock(state().mutex);
    State &current = state();
    QList<Leftover> offered;
    QList<Leftover> stay;
    for (const Leftover &found : std::as_const(current.earlier)) {
        if (!isWorkFolder(found.folder)) {
            continue;
        }
        if (spare.contains(found.folder)) {
            stay.append(found);
            continue;
        }
        const QFileInfo complete(found.complete);
        if (!found.complete.isEmpty() && complete.isFile() && complete.absolutePath() == found.folder
            && QFileInfo(found.target).isAbsolute()) {
            offered.append(found);
        } else if (!removeFolder(found.folder)) {
            stay.append(found);
        }
    }
    current.earlier = stay + offered;
    write();
    return offered;
}

QString keep(const Leftover &leftover)
{
    const std::lock_guard lock(state().mutex);
    QString path = leftover.target;
    if (!UserFileSave(path, UserFileSave::Replace::Refuse).commit(leftover.complete)) {
        path = SaveName::freeName(leftover.target);
        if (!UserFileSave(path, UserFileSave::Replace::Refuse).commit(leftover.complete)) {
            return {};
        }
    }
    if (removeFolder(leftover.folder)) {
        forget(leftover.folder);
    }
    return path;
}

void discard(const Leftover &leftover)
{
    const std::lock_guard lock(state().mutex);
    if (removeFolder(leftover.folder)) {
        forget(leftover.folder);
    }
}

} // namespace WorkFolders
