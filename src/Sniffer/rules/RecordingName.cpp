#include "RecordingName.h"

#include "SaveTargets.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace RecordingName {

QString defaultName(const QString &folder)
{
    QStringList extensions;
    for (const int kind : { SaveTargets::VideoKind, SaveTargets::AudioKind }) {
        for (const QString &filter : SaveTargets::filters(kind, true)) {
            extensions << SaveTargets::extensionFromFilter(filter);
        }
    }
    return defaultName(folder, extensions);
}

QString defaultName(const QString &folder, const QStringList &extensions)
{
    const QDir dir(folder);
    for (int number = 1;; ++number) {
        const QString name = QStringLiteral("Screen_Capture_%1").arg(number);
        const bool taken = std::any_of(extensions.cbegin(), extensions.cend(), [&](const QString &extension) {
            const QFileInfo file(dir.filePath(name + QLatin1Char('.') + extension));
            return file.exists() || file.isSymLink();
        });
        if (!taken) {
            return name;
        }
    }
}

} // namespace RecordingName
