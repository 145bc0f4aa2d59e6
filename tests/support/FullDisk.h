#pragma once

#include <QString>

// A tiny file system mounted on an existing folder that fills up after a few blocks (or after size), or that may
// not be written at all; unmounted when it goes. Mounting needs root: check mounted and skip otherwise.
class FullDisk final
{
public:
    enum class Mode { Full, ReadOnly };

    explicit FullDisk(const QString &path, Mode mode = Mode::Full, const QString &size = QStringLiteral("64k"));
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool mounted = false;

private:
    QString folder;
};
