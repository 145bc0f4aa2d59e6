#include "SaveName.h"

#include "UserFileSave.h"

#include <QFileInfo>

namespace SaveName {

QString clean(const QString &name, Platform::Os os)
{
    const bool windows = os == Platform::Os::Windows;
    QString result;
    result.reserve(name.size());
    for (const QChar c : name) {
        const bool forbidden = c == QLatin1Char('/') || c == QChar(0)
            || (windows && (c.unicode() < 32 || QStringLiteral("<>:\"\\|?*").contains(c)));
        if (!forbidden) {
            result += c;
        }
    }
    if (windows) {
        while (result.endsWith(QLatin1Char('.')) || result.endsWith(QLatin1Char(' '))) {
            result.chop(1);
        }
    }
    if (result.trimmed().isEmpty() || result == QStringLiteral(".") || result == QStringLiteral("..")) {
        return QStringLiteral("untitled");
    }
    return result;
}

QString clean(const QString &name)
{
    return clean(name, Platform::currentOs());
}

QString freeName(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = path.chopped(suffix.size());
    for (int number = 1;; ++number) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(number).arg(suffix);
        if (!UserFileSave::exists(candidate)) {
            return candidate;
        }
    }
}

} // namespace SaveName
