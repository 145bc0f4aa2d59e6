#include "FullDisk.h"

#include <QProcess>

FullDisk::FullDisk(const QString &path)
    : folder(path)
{
    mounted = QProcess::execute(QStringLiteral("mount"),
                                { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                  QStringLiteral("size=64k"), QStringLiteral("tmpfs"), folder })
        == 0;
}

FullDisk::~FullDisk()
{
    if (mounted) {
        QProcess::execute(QStringLiteral("umount"), { folder });
    }
}
