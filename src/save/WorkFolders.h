#pragma once

#include <QList>
#include <QString>

// The work folders that saves make beside the user's files, listed in a file in the data folder for as long as
// they exist, so that what a crash left behind is found at the next start. Without a list file (tests, tools)
// nothing is listed.
namespace WorkFolders {

struct Leftover
{
    QString folder;
    // The file the save was for.
    QString target;
    // A complete download that lies in the folder, offered to the user; empty when it holds nothing complete.
    QString complete;
};

// Folders listed from now on go to path; the list an earlier run left there is read by sweep().
void setListFile(const QString &path);
void added(const QString &folder, const QString &target);
// A complete file lies in the folder now: after a crash it is offered, not removed.
void completed(const QString &folder, const QString &file);
void removed(const QString &folder);

// The list an earlier run left: each listed work folder that holds nothing complete is removed, and those that do
// are returned (and stay listed until kept or discarded). An entry that does not name a work folder is dropped,
// never followed. The folders in spare (downloads about to go on) are left as they are.
QList<Leftover> sweep(const QStringList &spare = {});
// Puts the complete file beside its target, under the target's name or a free one, and removes the folder.
// Returns where the file went; empty when it could not be moved (the folder then stays listed).
QString keep(const Leftover &leftover);
void discard(const Leftover &leftover);

} // namespace WorkFolders
