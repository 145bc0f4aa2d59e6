#include "DownloadQueue.h"

#include "Trace.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace {

// A stored queue is a short list; a larger file is not one of ours.
constexpr qint64 storeLimit = 4 * 1024 * 1024;

} // namespace

DownloadQueue::DownloadQueue(DriverFactory factory, QObject *parent)
    : QAbstractTableModel(parent)
    , makeDriver(std::move(factory))
{ }

DownloadQueue::~DownloadQueue()
{
    // The drivers end their tools before their work folders go; the file keeps what was unfinished.
    for (Job &job : jobs) {
        delete job.driver;
    }
}

void DownloadQueue::setStoreFile(const QString &path)
{
    storeFile = path;
}

QList<QueueEntry> DownloadQueue::stored(const QString &path)
{
    QFile file(path);
    if (!file.exists()) {
        return {};
    }
    QJsonDocument document;
    QString why;
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else if (file.size() > storeLimit) {
        why = QStringLiteral("larger than %1 bytes").arg(storeLimit);
    } else {
        QJsonParseError parsed { 0, QJsonParseError::NoError };
        document = QJsonDocument::fromJson(file.readAll(), &parsed);
        why = parsed.error != QJsonParseError::NoError ? parsed.errorString()
            : document.isArray()                       ? QString()
                                                       : QStringLiteral("not a list");
    }
    if (!why.isEmpty()) {
        traceError() << "DownloadQueue : the kept queue" << path << "is left out:" << why;
        return {};
    }
    QList<QueueEntry> entries;
    const QJsonArray kept = document.array();
    for (const QJsonValue &value : kept) {
        if (std::optional<QueueEntry> entry = QueueEntry::fromJson(value.toObject())) {
            entries.append(*entry);
        }
    }
    if (entries.size() < kept.size()) {
        traceError() << "DownloadQueue :" << kept.size() - entries.size() << "unreadable entries of" << path
                     << "are left out";
    }
    return entries;
}

void DownloadQueue::setParallel(int count)
{
    parallel = std::max(1, count);
    startNext();
}

void DownloadQueue::add(const QueueEntry &entry)
{
    beginInsertRows({}, int(jobs.size()), int(jobs.size()));
    jobs.append({ entry, nullptr });
    jobs.last().entry.state = QueueEntry::State::Waiting;
    endInsertRows();
    store();
    startNext();
    noteShown();
}

void DownloadQueue::remove(int row)
{
    if (row < 0 || row >= jobs.size()) {
        return;
    }
    beginRemoveRows({}, row, row);
    Job job = jobs.takeAt(row);
    endRemoveRows();
    cancel(job);
    store();
    startNext();
    noteShown();
}

void DownloadQueue::clear()
{
    beginResetModel();
    QList<Job> cleared;
    cleared.swap(jobs);
    endResetModel();
    for (Job &job : cleared) {
        cancel(job);
    }
    store();
    noteShown();
}

void DownloadQueue::cancel(Job &job)
{
    if (!job.driver) {
        return;
    }
    trace() << "DownloadQueue : cancelled" << job.entry.title;
    job.driver->stop();
    const QString kept = job.driver->keptDownload();
    delete job.driver;
    emit cancelled(kept);
}

const QueueEntry &DownloadQueue::entry(int row) const
{
    return jobs.at(row).entry;
}

int DownloadQueue::pending() const
{
    return int(std::count_if(jobs.cbegin(), jobs.cend(), [](const Job &job) { return !job.entry.finished(); }));
}

int DownloadQueue::shownRow() const
{
    const auto running = std::find_if(jobs.cbegin(), jobs.cend(), [](const Job &job) { return job.driver; });
    return running == jobs.cend() ? -1 : int(running - jobs.cbegin());
}

void DownloadQueue::startNext()
{
    int running = int(std::count_if(jobs.cbegin(), jobs.cend(), [](const Job &job) { return job.driver; }));
    for (Job &job : jobs) {
        if (running >= parallel) {
            return;
        }
        if (job.entry.state == QueueEntry::State::Waiting && !job.driver) {
            run(job);
            ++running;
        }
    }
}

void DownloadQueue::run(Job &job)
{
    Downloader *driver = makeDriver();
    job.driver = driver;
    QueueEntry &entry = job.entry;
    entry.state = QueueEntry::State::Downloading;
    trace() << "DownloadQueue : starts" << entry.title;
    connect(driver, &Downloader::transferred, this, [this, driver](const ToolProgress &figures) {
        const int row = rowOf(driver);
        jobs[row].entry.figures = figures;
        changed(row);
        if (row == shownRow()) {
            emit transferred(figures);
        }
    });
    connect(driver, &Downloader::percent, this, [this, driver](float value) {
        if (rowOf(driver) == shownRow()) {
            emit percent(value);
        }
    });
    connect(driver, &Downloader::converted, this,
            [this, driver](double secondsDone, qint64 bytesWritten, double speed) {
                if (rowOf(driver) == shownRow()) {
                    emit converted(secondsDone, bytesWritten, speed);
                }
            });
    connect(driver, &Downloader::haveFile, this, [this, driver] {
        const int row = rowOf(driver);
        QueueEntry &converted = jobs[row].entry;
        converted.state = QueueEntry::State::Converting;
        changed(row);
        if (row == shownRow()) {
            emit converting();
        }
        driver->formatConverting(converted.download, converted.target, converted.mode, converted.targetReplace);
    });
    connect(driver, &Downloader::doneExtractAudio, this, [this, driver] {
        const QString target = jobs.at(rowOf(driver)).entry.target;
        finish(driver, QueueEntry::State::Saved);
        emit saved(target);
    });
    connect(driver, &Downloader::hasError, this, [this, driver](Downloader::errors error) {
        QString detail = driver->lastToolMessage();
        if (!driver->keptDownload().isEmpty()) {
            detail += QLatin1Char('\n')
                + tr("The downloaded file is kept as %1.").arg(QDir::toNativeSeparators(driver->keptDownload()));
        }
        jobs[rowOf(driver)].entry.failure = detail.trimmed();
        finish(driver, QueueEntry::State::Failed);
        emit failed(error, detail.trimmed());
    });
    const QUrl address(entry.address);
    driver->setUrl(&address);
    driver->setPlaylistItem(entry.item);
    driver->resumeIn(entry.workFolder);
    driver->requestFile(entry.format, entry.download, entry.downloadReplace, entry.subtitles);
    entry.workFolder = driver->downloadFolder();
    store();
}

void DownloadQueue::finish(Downloader *driver, QueueEntry::State state)
{
    const int row = rowOf(driver);
    jobs[row].entry.state = state;
    jobs[row].driver = nullptr;
    // Not from inside the driver's own signal.
    driver->deleteLater();
    changed(row);
    store();
    startNext();
    noteShown();
}

int DownloadQueue::rowOf(const Downloader *driver) const
{
    const auto found
        = std::find_if(jobs.cbegin(), jobs.cend(), [driver](const Job &job) { return job.driver == driver; });
    return int(found - jobs.cbegin());
}

void DownloadQueue::noteShown()
{
    const int row = shownRow();
    const Downloader *now = row < 0 ? nullptr : jobs.at(row).driver.data();
    if (now != shownDriver) {
        shownDriver = now;
        emit shownChanged();
    }
}

void DownloadQueue::changed(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void DownloadQueue::store() const
{
    if (storeFile.isEmpty()) {
        return;
    }
    QJsonArray entries;
    for (const Job &job : jobs) {
        if (!job.entry.finished()) {
            entries.append(job.entry.toJson());
        }
    }
    QSaveFile file(storeFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(entries).toJson()) < 0 || !file.commit()) {
        traceError() << "DownloadQueue : cannot write" << storeFile << file.errorString();
    }
}

int DownloadQueue::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(jobs.size());
}

int DownloadQueue::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DownloadQueue::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= jobs.size()) {
        return {};
    }
    const QueueEntry &entry = jobs.at(index.row()).entry;
    if (role == Qt::ToolTipRole) {
        return entry.failure.isEmpty() ? QDir::toNativeSeparators(entry.target) : entry.failure;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case TitleColumn:
        return entry.title;
    case SizeColumn:
        return entry.sizeText();
    case StateColumn:
        return entry.stateText();
    default:
        return {};
    }
}

QVariant DownloadQueue::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case TitleColumn:
        return tr("Title");
    case SizeColumn:
        return tr("Size");
    case StateColumn:
        return tr("State");
    default:
        return {};
    }
}
