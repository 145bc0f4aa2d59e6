#pragma once

#include "Downloader.h"
#include "QueueEntry.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

// The site downloads the user asked for, run one after another (or a few at once), each by a driver of its own:
// the tool's download, then the conversion into the user's file. A table of title, size and state for the window.
// The entries that have not finished are written to a file on every change, so that a later run can offer them
// again after a quit or a crash.
class DownloadQueue final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadQueue)

public:
    enum Column { TitleColumn = 0, SizeColumn = 1, StateColumn = 2, ColumnCount = 3 };

    // Makes the driver of one entry; it is deleted once the entry has finished.
    using DriverFactory = std::function<Downloader *()>;

    explicit DownloadQueue(DriverFactory factory, QObject *parent = nullptr);
    ~DownloadQueue() override;

    // Where the unfinished entries are kept; empty: nowhere.
    void setStoreFile(const QString &path);
    // The entries an earlier run left unfinished in the file; entries that cannot run are dropped.
    static QList<QueueEntry> stored(const QString &path);
    // How many entries run at once (1 or more).
    void setParallel(int count);

    void add(const QueueEntry &entry);
    // Cancels the entry when it runs; a cancelled download leaves nothing, a cancelled conversion keeps the download.
    void remove(int row);
    // Cancels every entry that runs or waits, and drops every row.
    void clear();

    const QueueEntry &entry(int row) const;
    // Entries waiting or running.
    int pending() const;
    // The first running entry's row, whose progress the window shows; -1 when none runs.
    int shownRow() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // Another entry's progress is shown now (or none, when shownRow() is -1).
    void shownChanged();
    // The shown entry's progress.
    void percent(float value);
    void transferred(const ToolProgress &figures);
    void converting();
    void converted(double secondsDone, qint64 bytesWritten, double speed);
    void saved(const QString &target);
    // detail: the tool's or the save's words, and where a download was kept.
    void failed(Downloader::errors error, const QString &detail);
    // A running entry was cancelled; keptDownload: where its complete download was kept, or empty.
    void cancelled(const QString &keptDownload);

private:
    struct Job
    {
        QueueEntry entry;
        QPointer<Downloader> driver;
    };

    void startNext();
    void run(Job &job);
    void finish(Downloader *driver, QueueEntry::State state);
    void cancel(Job &job);
    int rowOf(const Downloader *driver) const;
    void noteShown();
    void changed(int row);
    void store() const;

    DriverFactory makeDriver;
    QList<Job> jobs;
    QString storeFile;
    int parallel = 1;
    const Downloader *shownDriver = nullptr;
};
