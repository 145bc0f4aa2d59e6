#pragma once

#include <QString>

#include <memory>

class QIODevice;
class QSaveFile;
class QTemporaryDir;

// Writes one file the user chose. The work happens under names nothing else uses, in the target's own
// folder, and the file appears under exactly the chosen name only once it is complete. A file of that
// name is replaced only when the user agreed to it, and only by a complete file. A file this save did
// not create is never read, converted or removed by it.
class UserFileSave final
{
    Q_DISABLE_COPY_MOVE(UserFileSave)

public:
    enum class Replace { Refuse, Agreed };

    UserFileSave(const QString &finalPath, Replace replace);
    // Removes whatever this save created and did not commit.
    ~UserFileSave();

    QString finalPath() const;
    // A file of this name is there now: the user must be asked, naming it, before it is replaced.
    static bool exists(const QString &finalPath);

    // For a file another program writes: a private, empty folder beside the target, made on first use.
    // Empty when it cannot be made; errorString() says why.
    QString workFolder();
    // Takes up again the work folder an earlier save of the same file left (a crash cut it short), so that what it
    // holds is used; false, and nothing taken, when folder is no work folder beside the file.
    bool resume(const QString &folder);
    // A path in the work folder; empty when the folder cannot be made.
    QString workPath(const QString &fileName);

    // For bytes the program writes itself. Null when the file cannot be opened or may not be replaced.
    QIODevice *open();

    // Puts a complete file (normally from a work folder) in place under the final name.
    bool commit(const QString &completedFile);
    // Completes what was written through open().
    bool commit();
    // Removes the work folder with everything in it, and anything written through open().
    void discard();

    QString errorString() const;

private:
    bool mayWrite();

    QString target;
    Replace replace;
    std::unique_ptr<QTemporaryDir> work;
    QString resumed;
    std::unique_ptr<QSaveFile> writer;
    QString error;
};
