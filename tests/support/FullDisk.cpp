#include "FullDisk.h"

#include <QProcess>

FullDisk::FullDisk(const QString &path, Mode mode)
    : folder(path)
{
    const QString options = mode == Mode::Full ? QStringLiteral("size=64k") : QStringLiteral("ro,size=64k");
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
