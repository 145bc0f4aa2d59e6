#include "Sniffer.h"

#include "DownloadQueue.h"
#include "MessageBox.h"
#include "Program.h"
#include "QueuePanel.h"
#include "SaveName.h"
#include "SaveTargets.h"
#include "Trace.h"
#include "ui_InsertURL.h"
#include "ui_Progress.h"
#include "ui_Settings.h"
#include "ui_Sniffer.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

namespace {

constexpr int progressPageHeight = 120;

} // namespace

void Sniffer::initQueue()
{
    queue = new DownloadQueue(
        [this] {
            auto *driver = new Downloader(queue);
            driver->useCookies(cookieSource.toolBrowser(dataFolder),
                               cookieSource.kind == CookieSource::Kind::File ? cookieSource.file : QString(),
                               QDir(dataFolder).filePath(QStringLiteral("cookies.txt")));
            return driver;
        },
        this);
    queue->setStoreFile(QDir(dataFolder).filePath(QStringLiteral("queue.json")));
    queue->setParallel(settings().value(SettingsKeys::ParallelDownloads, 1).toInt());
    settingsPage->checkTwoDownloads->setChecked(settings().value(SettingsKeys::ParallelDownloads, 1).toInt() > 1);
    connect(settingsPage->checkTwoDownloads, &QCheckBox::toggled, this, [this](bool two) {
        settings().setValue(SettingsKeys::ParallelDownloads, two ? 2 : 1);
        settings().sync();
        queue->setParallel(two ? 2 : 1);
    });

    // The page's form is drawn at the bare progress page's height; the panel below it needs the room it is given.
    QWidget *page = progress->progressBar->parentWidget();
    page->setMaximumHeight(QWIDGETSIZE_MAX);
    queuePanel = new QueuePanel(queue, page);
    progress->verticalLayout->insertWidget(progress->verticalLayout->indexOf(progress->lblTransfer) + 1, queuePanel);
    queuePanel->hide();
    connect(queuePanel, &QueuePanel::addAddress, this, &Sniffer::addAddress);
    auto *showQueue = new QPushButton(ui->widgetInsertURL);
    showQueue->setObjectName(QStringLiteral("btnShowQueue"));
    showQueue->setStyleSheet(QStringLiteral("background-color: white; padding: 3px 8px;"));
    showQueue->hide();
    insertUrl->horizontalLayout_5->insertWidget(0, showQueue);
    connect(showQueue, &QPushButton::clicked, this, [this] { showLayer(LayerProgress); });
    const auto rowsChanged = [this, showQueue] {
        showQueue->setText(tr("Downloads (%1)").arg(queue->pending()));
        showQueue->setVisible(queue->pending() > 0);
        fitQueuePanel();
    };
    connect(queue, &DownloadQueue::rowsInserted, this, rowsChanged);
    connect(queue, &DownloadQueue::rowsRemoved, this, rowsChanged);
    connect(queue, &DownloadQueue::modelReset, this, rowsChanged);
    connect(queue, &DownloadQueue::dataChanged, this, rowsChanged);

    connect(queue, &DownloadQueue::shownChanged, this, &Sniffer::showQueuedProgress);
    connect(queue, &DownloadQueue::percent, this, [this](float value) {
        if (!iterationTimer->isActive()) {
            showPercents(value);
        }
    });
    connect(queue, &DownloadQueue::transferred, this, [this](const ToolProgress &figures) {
        if (!iterationTimer->isActive()) {
            showTransfer(figures);
        }
    });
    connect(queue, &DownloadQueue::converting, this, [this] { showConverting(100); });
    connect(queue, &DownloadQueue::converted, this, &Sniffer::showConverted);
    connect(queue, &DownloadQueue::saved, this, &Sniffer::queuedDownloadSaved);
    connect(queue, &DownloadQueue::failed, this, &Sniffer::queuedDownloadFailed);
    connect(queue, &DownloadQueue::cancelled, this, [this](const QString &kept) {
        if (!kept.isEmpty()) {
            MessageBox::information(this, Program::name,
                                    tr("The conversion was cancelled. The downloaded file is kept as %1.")
                                        .arg(QDir::toNativeSeparators(kept)));
        }
    });
}

DownloadQueue &Sniffer::downloadQueue() const
{
    return *queue;
}

void Sniffer::fitQueuePanel()
{
    const bool shown = queue->rowCount() > 0;
    const int height = progressPageHeight + (shown ? queuePanel->fittingHeight() : 0);
    queuePanel->setVisible(shown);
    if (pageHeights.pageHeight(LayerPlan::Page::Progress) == height) {
        return;
    }
    pageHeights.setPageHeight(LayerPlan::Page::Progress, height);
    if (ui->widgetProgress->isVisible()) {
        showLayer(LayerProgress);
    }
}

void Sniffer::addAddress()
{
    insertUrl->inputURL->clear();
    urlFieldShown = true;
    showLayer(LayerInsertUrl);
}

void Sniffer::enqueueDownloads(const QList<QueueEntry> &entries)
{
    const bool wasIdle = queue->shownRow() < 0;
    // Work that starts after everything ended starts a new list: the rows of the last one were told about.
    if (queue->pending() == 0) {
        queue->clear();
        queueSaved.clear();
    }
    for (const QueueEntry &entry : entries) {
        queue->add(entry);
    }
    if (wasIdle) {
        progressBarStart();
    } else {
        showLayer(LayerProgress);
    }
}

void Sniffer::showQueuedProgress()
{
    stopDots();
    progress->lblConverting->hide();
    progress->lblDots->hide();
    progress->lblTransfer->clear();
    progress->progressBar->setValue(progress->progressBar->minimum());
    const int row = queue->shownRow();
    if (row >= 0 && queue->entry(row).state == QueueEntry::State::Converting) {
        showConverting(100);
    }
}

void Sniffer::queuedDownloadSaved(const QString &target)
{
    trace() << "queuedDownloadSaved :" << target;
    queueSaved.append(target);
    // Each download of a queue says so in its row; the box waits for the last.
    if (queue->pending() > 0) {
        return;
    }
    targetFilePath = target;
    if (ui->widgetProgress->isVisible()) {
        postDownload();
    } else {
        // The user is adding another address: the page they are on stays.
        tellSaved();
    }
}

void Sniffer::queuedDownloadFailed(Downloader::errors error, const QString &detail)
{
    traceError() << "queuedDownloadFailed :"
                 << "error" << int(error);
    if (queue->pending() == 0) {
        queueSaved.clear();
        if (ui->widgetProgress->isVisible()) {
            stopDots();
            showLayer(LayerInsertUrl);
        }
    }
    setErrorContext("queuedDownloadFailed");
    showDownloaderError(int(error), detail);
}

void Sniffer::offerUnfinishedWork()
{
    const QList<QueueEntry> unfinished = DownloadQueue::stored(QDir(dataFolder).filePath(QStringLiteral("queue.json")));
    QStringList titles;
    QStringList resumed;
    for (const QueueEntry &entry : unfinished) {
        titles.append(entry.title);
        resumed.append(entry.workFolder);
    }
    const bool resume = !unfinished.isEmpty()
        && MessageBox::choose(this, QMessageBox::Question, Program::name,
                              tr("Corvane 2 stopped before these downloads were done:\n%1\nDownload them now?")
                                  .arg(titles.join(QLatin1Char('\n'))),
                              { { tr("Download"), QMessageBox::AcceptRole, QStringLiteral("resumeQueue") },
                                { tr("Forget them"), QMessageBox::DestructiveRole, QStringLiteral("forgetQueue") } },
                              0)
            == 0;
    // What the interrupted downloads fetched stays for them; every other leftover goes, or is offered.
    offerLeftoverDownloads(resume ? resumed : QStringList());
    if (resume) {
        enqueueDownloads(unfinished);
    } else if (!unfinished.isEmpty()) {
        queue->clear();
    }
}
