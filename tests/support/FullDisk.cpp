#include "FullDisk.h"

#include <QProcess>

FullDisk::FullDisk(const QString &path, Mode mode, const QString &size)
    : folder(path)
{
    const QString options = (mode == Mode::Full ? QStringLiteral("size=") : QStringLiteral("ro,size=")) + size;
    mounted = QProcess::execute(QStringLiteral("mount"),
                                { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), options,
                                  QStringLiteral("tmpfs"), folder })
        == 0;
}

FullDisk::~FullDisk()
{
    if (mounted) {
        QProcess::execute(QStringLiteral("umount"), { folder });
    }
}
