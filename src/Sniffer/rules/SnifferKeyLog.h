#pragma once

#include <QString>
#include <QtGlobal>

// The file in which a browser writes the secrets of its TLS sessions (SSLKEYLOGFILE) for the capture
// engines to read. A file the user named in SSLKEYLOGFILE is the user's: only read, never created, emptied
// or removed. Otherwise it is the program's own "keys.log" in the data folder: owner-only, emptied when
// the capture starts, removed with this object as the program quits. Its contents are never logged:
// they open every session of that browser.
class SnifferKeyLog final
{
public:
    // userFile: SSLKEYLOGFILE as the program's environment gives it, empty when unset.
    SnifferKeyLog(const QString &userFile, const QString &dataFolder);
    ~SnifferKeyLog();
    Q_DISABLE_COPY_MOVE(SnifferKeyLog)

    // The file to hand to the capture engines and to set as a started browser's SSLKEYLOGFILE.
    QString path() const;
    bool isOwn() const;
    // Empties the own file, creating it owner-only when missing. False when it could not be written.
    bool empty();
    // Creates the own file owner-only when missing and keeps what it holds.
    bool create();
    // Empties and removes an own file that a run which did not end cleanly left behind. False when it stays.
    bool removeLeftover();

private:
    bool prepare(bool truncate);

    QString filePath;
    bool own = false;
};
