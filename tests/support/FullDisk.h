#pragma once

#include <QString>

// A tiny file system mounted on an existing folder that fills up after a few blocks; unmounted when it
// goes. Mounting needs root: check mounted and skip otherwise.
class FullDisk final
{
public:
    explicit FullDisk(const QString &path);
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool mounted = false;

private:
    QString folder;
};
