#include "Options.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalBlocker>
#include <QVariant>

#include <array>
#include <mutex>
#include <utility>

namespace Rk {

namespace {

constexpr int folderCount = 7;

const std::array<QString, folderCount> folderKeys {
    QStringLiteral("TempFolderPath"),        QStringLiteral("ExportFolderPath"),
    QStringLiteral("OpenProjectFolderPath"), QStringLiteral("SaveProjectFolderPath"),
    QStringLiteral("RippingFolderPath"),     QStringLiteral("SnifferFolderPath"),
    QStringLiteral("CacheFolderPath")
};

const std::array<QString, folderCount> folderDefaultNames { QStringLiteral("Temp"),     QStringLiteral("Export"),
                                                            QStringLiteral("Projects"), QStringLiteral("Projects"),
                                                            QStringLiteral("Rip"),      QStringLiteral("Sniffer"),
                                                            QStringLiteral("Cache") };

const QString alwaysOnTopKey = QStringLiteral("AlwaysOnTop");
const QString aspectRatioKey = QStringLiteral("DefaultAspectRatio");
const QString lastOpenedFilesKey = QStringLiteral("LastOpenedFiles");
const QString sizeCustomKey = QStringLiteral("SizeCustom");
const QString sizeRecentKey = QStringLiteral("SizeRecent");
const QString clearCacheKey = QStringLiteral("ClearCache");

bool validKind(int kind)
{
    return kind >= 0 && kind < folderCount;
}

} // namespace

struct Options::Private
{
    std::array<QString, folderCount> folders;
    std::array<QString, folderCount> lastFolders;
    bool alwaysOnTop = false;
    int defaultAspectRatio = 2;
    QStringList lastOpenedFiles;
    QSize sizeCustom { -1, -1 };
    QSize sizeRecent { -1, -1 };
    bool clearCache = false;
    // Every option's default, by key, in the order the file lists them.
    QList<std::pair<QString, QVariant>> defaults;
    QString filePath;
    std::unique_ptr<QSettings> settings;

    QVariant value(const QString &key) const
    {
        for (int kind = 0; kind < folderCount; ++kind) {
            if (folderKeys.at(kind) == key) {
                return folders.at(kind);
            }
        }
        if (key == alwaysOnTopKey) {
            return alwaysOnTop;
        }
        if (key == aspectRatioKey) {
            return defaultAspectRatio;
        }
        if (key == lastOpenedFilesKey) {
            return lastOpenedFiles;
        }
        if (key == sizeCustomKey) {
            return sizeCustom;
        }
        if (key == sizeRecentKey) {
            return sizeRecent;
        }
        return clearCache;
    }
};

Options &Options::instance()
{
    static Options shared;
    // Read at once: saving at exit a store that was never loaded would blank the user's file.
    static std::once_flag loaded;
    std::call_once(loaded, [] { shared.loadOptions(true); });
    return shared;
}

QString Options::defaultBaseFolder()
{
    return QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/Corvane 2"));
}

Options::Options(const QString &baseFolder, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->filePath = QDir::toNativeSeparators(baseFolder + QStringLiteral("/Rk.Options.ini"));
    if (QFile::exists(d->filePath)) {
        d->settings = std::make_unique<QSettings>(d->filePath, QSettings::IniFormat);
    }
    for (int kind = 0; kind < folderCount; ++kind) {
        d->defaults.append({ folderKeys.at(kind),
                             QDir::toNativeSeparators(baseFolder + QLatin1Char('/') + folderDefaultNames.at(kind)) });
    }
    d->defaults.append({ alwaysOnTopKey, false });
    d->defaults.append({ aspectRatioKey, 2 });
    d->defaults.append({ lastOpenedFilesKey, QStringList() });
    d->defaults.append({ sizeCustomKey, QSize(640, 360) });
    d->defaults.append({ sizeRecentKey, QSize(640, 360) });
    d->defaults.append({ clearCacheKey, false });
}

Options::~Options()
{
    saveOptions();
}

Options &Options::operator=(const Options &other)
{
    if (this == &other) {
        return *this;
    }
    for (int kind = 0; kind < folderCount; ++kind) {
        setFolderPath(kind, other.folderPath(kind));
        setLastFolder(kind, other.lastFolder(kind));
    }
    d->alwaysOnTop = other.d->alwaysOnTop;
    d->defaultAspectRatio = other.d->defaultAspectRatio;
    d->lastOpenedFiles = other.d->lastOpenedFiles;
    d->sizeCustom = other.d->sizeCustom;
    d->sizeRecent = other.d->sizeRecent;
    d->clearCache = other.d->clearCache;
    return *this;
}

QString Options::filePath() const
{
    return d->filePath;
}

QString Options::folderPath(int kind) const
{
    return validKind(kind) ? d->folders.at(kind) : QString();
}

void Options::setFolderPath(int kind, const QString &path)
{
    if (!validKind(kind)) {
        return;
    }
    d->folders.at(kind) = QDir::toNativeSeparators(path);
    d->lastFolders.at(kind).clear();
    if (kind == Temp) {
        emit tempFolderChanged(d->folders.at(kind));
    }
}

QString Options::createdFolderPath(int kind) const
{
    const QString path = folderPath(kind);
    if (!path.isEmpty()) {
        QDir().mkpath(path);
    }
    return path;
}

QString Options::lastFolder(int kind) const
{
    return validKind(kind) ? d->lastFolders.at(kind) : QString();
}

void Options::setLastFolder(int kind, const QString &path)
{
    if (validKind(kind)) {
        d->lastFolders.at(kind) = QDir::toNativeSeparators(path);
    }
}

bool Options::alwaysOnTop() const
{
    return d->alwaysOnTop;
}

void Options::setAlwaysOnTop(bool on)
{
    d->alwaysOnTop = on;
}

int Options::defaultAspectRatio() const
{
    return d->defaultAspectRatio;
}

void Options::setDefaultAspectRatio(int ratio)
{
    d->defaultAspectRatio = ratio;
}

QSize Options::sizeCustom() const
{
    return d->sizeCustom;
}

void Options::setSizeCustom(const QSize &size)
{
    d->sizeCustom = size;
}

QSize Options::sizeRecent() const
{
    return d->sizeRecent;
}

void Options::setSizeRecent(const QSize &size)
{
    d->sizeRecent = size;
}

bool Options::clearCache() const
{
    return d->clearCache;
}

void Options::setClearCache(bool on)
{
    d->clearCache = on;
}

QStringList Options::lastOpenedFiles() const
{
    return d->lastOpenedFiles;
}

void Options::addLastOpenedFile(const QString &path)
{
    d->lastOpenedFiles.removeAll(path);
    d->lastOpenedFiles.prepend(path);
    while (d->lastOpenedFiles.size() > maxLastOpenedFiles) {
        d->lastOpenedFiles.removeLast();
    }
}

void Options::loadOptions(bool fromFile)
{
    if (!fromFile || !d->settings) {
        resetToDefaults();
        return;
    }
    for (const auto &[key, fallback] : std::as_const(d->defaults)) {
        QVariant stored = d->settings->value(key + QStringLiteral("/_value_"), fallback);
        // The option's own type wins over the file's "_type_": a damaged file cannot change a type.
        if (!stored.convert(fallback.metaType())) {
            stored = fallback;
        }
        apply(key, stored);
    }
    emit tempFolderChanged(d->folders.at(Temp));
}

void Options::saveOptions()
{
    if (!d->settings) {
        return;
    }
    for (const auto &[key, fallback] : std::as_const(d->defaults)) {
        const QVariant current = d->value(key);
        d->settings->setValue(key + QStringLiteral("/_type_"), fallback.metaType().id());
        d->settings->setValue(key + QStringLiteral("/_value_"), current);
    }
    d->settings->sync();
}

void Options::resetToDefaults()
{
    for (const auto &[key, fallback] : std::as_const(d->defaults)) {
        apply(key, fallback);
    }
    emit tempFolderChanged(d->folders.at(Temp));
}

void Options::apply(const QString &key, const QVariant &value)
{
    for (int kind = 0; kind < folderCount; ++kind) {
        if (folderKeys.at(kind) == key) {
            // Without a signal per folder: loading announces the Temp folder once, at the end.
            const QSignalBlocker blocker(this);
            setFolderPath(kind, value.toString());
            return;
        }
    }
    if (key == alwaysOnTopKey) {
        d->alwaysOnTop = value.toBool();
    } else if (key == aspectRatioKey) {
        d->defaultAspectRatio = value.toInt();
    } else if (key == lastOpenedFilesKey) {
        d->lastOpenedFiles = value.toStringList().mid(0, maxLastOpenedFiles);
    } else if (key == sizeCustomKey) {
        d->sizeCustom = value.toSize();
    } else if (key == sizeRecentKey) {
        d->sizeRecent = value.toSize();
    } else if (key == clearCacheKey) {
        d->clearCache = value.toBool();
    }
}

} // namespace Rk
