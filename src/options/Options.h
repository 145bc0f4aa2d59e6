#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

namespace Rk {

// Typed user options with defaults, kept in "<base folder>/Rk.Options.ini" where every value carries
// its type. The file is used only when it already exists; otherwise the options live in memory.
// Reading or setting options creates no folder: a folder is made only by createdFolderPath, when
// something is about to be written into it.
class Options final : public QObject
{
    Q_OBJECT

public:
    enum FolderKind { Temp, Export, OpenProject, SaveProject, Ripping, Sniffer, Cache };

    static constexpr int maxLastOpenedFiles = 10;

    // The shared store, loaded from its file on first use and saved at program exit.
    static Options &instance();

    // "<home>/Corvane 2".
    static QString defaultBaseFolder();

    explicit Options(const QString &baseFolder = defaultBaseFolder(), QObject *parent = nullptr);
    ~Options() override;

    Options(const Options &) = delete;
    Options(Options &&) = delete;
    Options &operator=(Options &&) = delete;
    // Copies every option; folders go through setFolderPath and setLastFolder.
    Options &operator=(const Options &other);

    QString filePath() const;

    QString folderPath(int kind) const;
    void setFolderPath(int kind, const QString &path);
    // folderPath, after creating the folder with any missing parents. Creation failures are left to
    // the write that follows.
    QString createdFolderPath(int kind) const;
    QString lastFolder(int kind) const;
    void setLastFolder(int kind, const QString &path);

    bool alwaysOnTop() const;
    void setAlwaysOnTop(bool on);
    int defaultAspectRatio() const;
    void setDefaultAspectRatio(int ratio);
    QSize sizeCustom() const;
    void setSizeCustom(const QSize &size);
    QSize sizeRecent() const;
    void setSizeRecent(const QSize &size);
    bool clearCache() const;
    void setClearCache(bool on);

    QStringList lastOpenedFiles() const;
    // Most recent first, without duplicates, at most maxLastOpenedFiles long.
    void addLastOpenedFile(const QString &path);

    void loadOptions(bool fromFile);
    void saveOptions();
    void resetToDefaults();

signals:
    void tempFolderChanged(QString newPath);

private:
    void apply(const QString &key, const QVariant &value);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Rk
