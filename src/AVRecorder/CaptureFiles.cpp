#include "CaptureFiles.h"

#include <QCryptographicHash>

QString captureBaseName(const QString &tempDir, const QDateTime &when)
{
    const QByteArray input = (tempDir + when.toString(Qt::TextDate)).toLatin1();
    return QString::fromLatin1(QCryptographicHash::hash(input, QCryptographicHash::Md5).toHex());
}

CaptureFiles captureFiles(const QString &tempDir, const QDateTime &when, Platform::Os os)
{
    const QString stem = tempDir + Platform::nativeSeparator(os) + captureBaseName(tempDir, when);
    const QString extension = QStringLiteral(".mpg");
    return { stem + QStringLiteral("_a") + extension, stem + QStringLiteral("_v") + extension,
             stem + QStringLiteral("_res") + extension };
}

namespace {

QString numbered(const QString &file, int part)
{
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    return file.left(dot) + QString::number(part) + file.mid(dot);
}

} // namespace

CaptureFiles capturePart(const CaptureFiles &recording, int part)
{
    if (part <= 1) {
        return { recording.audioFile, recording.videoFile, numbered(recording.resultFile, 1) };
    }
    return { numbered(recording.audioFile, part), numbered(recording.videoFile, part),
             numbered(recording.resultFile, part) };
}
