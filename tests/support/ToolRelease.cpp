#include "ToolRelease.h"

#include "Files.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>

QByteArray withToolRelease(const QByteArray &settings, const QString &address)
{
    static const QRegularExpression entry(QStringLiteral("(\\[tool_release\\]\\n0=)[^\\n]*"));
    return QString::fromUtf8(settings).replace(entry, QStringLiteral("\\1") + address).toUtf8();
}

FakeRelease::FakeRelease()
{
    const QTemporaryDir source;
    writeFile(source.filePath(QStringLiteral("__main__.py")), QByteArray("print('") + version + "')\n");
    const QString built = source.filePath(QStringLiteral("yt-dlp"));
    QProcess::execute(QStringLiteral("/usr/bin/python3"),
                      { QStringLiteral("-m"), QStringLiteral("zipapp"), source.path(), QStringLiteral("-o"), built,
                        QStringLiteral("-p"), QStringLiteral("/usr/bin/env python3") });
    tool = readFile(built);
    publish(tool, sums(tool));
}

bool FakeRelease::publish(const QByteArray &published, const QByteArray &sums)
{
    return writeFile(folder.filePath(QStringLiteral("yt-dlp")), published)
        && writeFile(folder.filePath(QStringLiteral("SHA2-256SUMS")), sums);
}

QByteArray FakeRelease::sums(const QByteArray &published)
{
    return QCryptographicHash::hash(published, QCryptographicHash::Sha256).toHex() + "  yt-dlp\n" + QByteArray(64, 'a')
        + "  yt-dlp.exe\n";
}
