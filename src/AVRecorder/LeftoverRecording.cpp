#include "LeftoverRecording.h"

#include "Grabbers.h"
#include "Trace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

qint64 sizeOf(const QString &file)
{
    return QFileInfo(file).size();
}

} // namespace

LeftoverRecording::LeftoverRecording(const QString &converterDir, const QString &folder, QObject *parent)
    : QObject(parent)
    , appDir(converterDir)
    , tempDir(folder)
{ }

LeftoverRecording::~LeftoverRecording() = default;

QList<CaptureFiles> LeftoverRecording::find(const QString &tempDir)
{
    static const QRegularExpression capture(QStringLiteral("^([0-9a-f]{32})_(a|v|res)[0-9]*\\.mpg$"));
    const QDir folder(tempDir);
    QHash<QString, QDateTime> newest;
    for (const QFileInfo &file : folder.entryInfoList({ QStringLiteral("*.mpg") }, QDir::Files)) {
        const QRegularExpressionMatch match = capture.match(file.fileName());
        if (match.hasMatch() && file.size() > 0) {
            QDateTime &when = newest[match.captured(1)];
            when = std::max(when, file.lastModified());
        }
    }
    QList<QString> bases = newest.keys();
    std::sort(bases.begin(), bases.end(),
              [&newest](const QString &a, const QString &b) { return newest.value(a) > newest.value(b); });
    QList<CaptureFiles> found;
    for (const QString &base : bases) {
        const QString stem = QDir::toNativeSeparators(folder.filePath(base));
        found.append(
            { stem + QStringLiteral("_a.mpg"), stem + QStringLiteral("_v.mpg"), stem + QStringLiteral("_res.mpg") });
    }
    return found;
}

QStringList LeftoverRecording::partsOf(const CaptureFiles &files)
{
    const QFileInfo first(files.videoFile);
    const QString base = first.fileName().left(first.fileName().lastIndexOf(QStringLiteral("_v")));
    const QDir folder = first.dir();
    QStringList parts;
    for (const QString &name :
         folder.entryList({ base + QStringLiteral("_*.mpg"), base + QStringLiteral("_res.mpg.txt") }, QDir::Files)) {
        parts << QDir::toNativeSeparators(folder.filePath(name));
    }
    return parts;
}

void LeftoverRecording::offer()
{
    // Empty captures hold nothing to offer.
    static const QRegularExpression capture(QStringLiteral("^[0-9a-f]{32}_(a|v|res)[0-9]*\\.mpg$"));
    for (const QFileInfo &file : QDir(tempDir).entryInfoList({ QStringLiteral("*.mpg") }, QDir::Files)) {
        if (file.size() == 0 && capture.match(file.fileName()).hasMatch()) {
            QFile::remove(file.filePath());
        }
    }
    const QList<CaptureFiles> all = find(tempDir);
    if (all.isEmpty()) {
        QMetaObject::invokeMethod(this, &LeftoverRecording::nothing, Qt::QueuedConnection);
        return;
    }
    const CaptureFiles files = all.first();
    trace() << "LeftoverRecording"
            << "found" << files.videoFile << files.audioFile << files.resultFile;
    if (sizeOf(files.resultFile) > 0) {
        QMetaObject::invokeMethod(
            this, [this, files] { emit found(files); }, Qt::QueuedConnection);
        return;
    }
    merge = new Grabbers(appDir, files, this);
    connect(merge, &Grabbers::merged, this, [this, files](bool ok) {
        CaptureFiles offered = files;
        if (!ok) {
            QFile::remove(files.resultFile);
            offered.resultFile.clear();
        }
        emit found(offered);
    });
    merge->mergeAudioVideo();
}
