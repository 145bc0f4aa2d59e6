#include "Sniffer.h"

#include "DownloadQueue.h"
#include "DownloadTexts.h"
#include "FormatListing.h"
#include "FormatRows.h"
#include "MessageBox.h"
#include "Program.h"
#include "SaveName.h"
#include "SaveTargets.h"
#include "Trace.h"
#include "ui_Options.h"
#include "ui_Progress.h"
#include "ui_Settings.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QListWidget>
#include <QShortcut>
#include <QUrl>

#include <utility>

void Sniffer::initDownloader()
{
    trace() << "initDownloader"
            << ":"
            << "OK";
    downloader = std::make_unique<Downloader>();
    connect(downloader.get(), &Downloader::hasError, this, &Sniffer::onDownloaderError);
    connect(downloader.get(), &Downloader::percent, this, &Sniffer::showPercents);
    connect(downloader.get(), &Downloader::transferred, this, &Sniffer::showTransfer);
    connect(downloader.get(), &Downloader::converted, this, &Sniffer::showConverted);
    connect(downloader.get(), &Downloader::haveTitle, this, &Sniffer::postTitleRequest);
    connect(downloader.get(), &Downloader::haveFormats, this, &Sniffer::postFormatsRequest);
    connect(downloader.get(), &Downloader::doneExtractAudio, this, &Sniffer::postDownload);
    connect(downloader.get(), &Downloader::snifferUpdated, this, &Sniffer::postUpdateSniffer);
    auto *update = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_U), this);
    connect(update, &QShortcut::activated, this, &Sniffer::updateSniffer);
    connect(options->btnSelectPath, &QPushButton::clicked, this, &Sniffer::selectSavePath);
}

VideoInfo &Sniffer::videoInfo()
{
    return downloader->videoInfo();
}

Downloader &Sniffer::siteDownloader() const
{
    return *downloader;
}

void Sniffer::postTitleRequest()
{
    VideoInfo &video = videoInfo();
    if (video.title.isEmpty()) {
        video.title = QStringLiteral("default");
    }
    trace() << "postTitleRequest"
            << ":"
            << "Title" << video.title << "Length" << video.duration;
    // A page of several videos is named by how many it holds; each is saved under its own title.
    options->lblTitle->setText(video.videos.isEmpty() ? video.title
                                                      : tr("%1 videos on this page").arg(video.videos.size()));
    options->inputTitle->setText(video.title);
    options->lblDLLength->setText(video.live ? tr("live") : video.duration);
    showOptionsWhenComplete();
}

void Sniffer::clearFormatList()
{
    options->listFormats->clear();
    options->listSubtitles->clear();
    options->listSubtitles->hide();
    options->listVideos->clear();
    offeredFormats.clear();
}

QStringList Sniffer::chosenSubtitles() const
{
    QStringList languages;
    for (int row = 0; row < options->listSubtitles->count(); ++row) {
        const QListWidgetItem *item = options->listSubtitles->item(row);
        if (item->checkState() == Qt::Checked) {
            languages.append(item->data(Qt::UserRole).toString());
        }
    }
    return languages;
}

void Sniffer::postFormatsRequest()
{
    trace() << "postFormatsRequest"
            << ":"
            << "OK";
    clearFormatList();
    const VideoInfo &video = videoInfo();
    // On a page of sound only, the one button left saves audio.
    const bool audioOnly = video.audioOnly();
    // A live stream is recorded as it comes, picture and sound together.
    options->btnDownloadAudio->setHidden(audioOnly || video.live);
    options->btnDownloadVideo->setIcon(
        QIcon(audioOnly ? QStringLiteral(":/btnAudioDL") : QStringLiteral(":/btnVideoDL")));
    offeredFormats = video.formats;
    // The page's subtitle tracks, none checked: a save takes those the user ticks.
    for (const QString &language : video.subtitles) {
        auto *item = new QListWidgetItem(tr("Subtitles: %1").arg(language), options->listSubtitles);
        item->setData(Qt::UserRole, language);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    options->listSubtitles->setVisible(!video.subtitles.isEmpty());
    if (!video.videos.isEmpty()) {
        offerVideos(video.videos);
        showOptionsWhenComplete();
        return;
    }
    // A single format is offered without a list.
    if (offeredFormats.size() <= 1) {
        showOptionsWhenComplete();
        return;
    }

    const QList<FormatRows::Row> rows = FormatRows::rows(offeredFormats);
    for (const FormatRows::Row &row : rows) {
        auto *item = new QListWidgetItem(QIcon(row.icon), row.text, options->listFormats);
        item->setSizeHint(QSize(120, 26));
    }
    options->listFormats->setIconSize(QSize(87, 23));
    options->listFormats->setCurrentRow(FormatRows::preselectedRow(rows));
    options->listFormats->setMinimumHeight(27 * int(rows.size()));
    options->listFormats->setMaximumHeight(27 * int(rows.size()) + 10);
    showOptionsWhenComplete();
}

void Sniffer::offerVideos(const QList<PageVideo> &videos)
{
    // Every video, all ticked: the user unticks what they do not want.
    for (const PageVideo &video : videos) {
        auto *item = new QListWidgetItem(
            video.duration.isEmpty() ? video.title : QStringLiteral("%1 (%2)").arg(video.title, video.duration),
            options->listVideos);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Checked);
    }
    constexpr int rowHeight = 22;
    const int shown = int(std::min<qsizetype>(videos.size(), 5));
    options->listVideos->setFixedHeight(rowHeight * shown + 6);
    // One rule for all of them: the best, or the best up to a height.
    for (const int height : { 0, 1080, 720, 480, 360 }) {
        auto *item
            = new QListWidgetItem(height == 0 ? tr("Best quality") : tr("Up to %1p").arg(height), options->listFormats);
        item->setData(Qt::UserRole, height);
        item->setSizeHint(QSize(120, 26));
    }
    options->listFormats->setCurrentRow(0);
    options->listFormats->setMinimumHeight(27 * options->listFormats->count());
    options->listFormats->setMaximumHeight(27 * options->listFormats->count() + 10);
}

void Sniffer::showOptionsWhenComplete()
{
    if (!optionsDropped) {
        showLayer(LayerOptions);
    }
}

void Sniffer::downloadVideo()
{
    trace() << "downloadVideo"
            << ":"
            << "OK";
    if (!recorderSaveMode && !videoInfo().live && options->btnDownloadAudio->isHidden()) {
        downloadAudio();
        return;
    }
    downloadKind = SaveTargets::VideoKind;
    if (!selectSaveFile()) {
        return;
    }
    if (recorderSaveMode) {
        saveRecorderAV(lastRecording.joined ? lastRecording.resultFile : lastRecording.videoFile);
    } else if (videoInfo().live) {
        recordLiveStream();
    } else {
        runDownloader();
    }
}

void Sniffer::downloadAudio()
{
    trace() << "downloadAudio"
            << ":"
            << "OK";
    downloadKind = SaveTargets::AudioKind;
    // Audio goes to the default audio folder unless the user picked a folder of their own.
    if (settingsPage->pathVideo->text() == options->selectPath->currentText()) {
        options->selectPath->insertItem(0, settingsPage->pathAudio->text());
        options->selectPath->setCurrentIndex(0);
    }
    if (!selectSaveFile()) {
        return;
    }
    if (recorderSaveMode) {
        // A joined recording holds the sound of every part; an unjoined one has it in its own file.
        saveRecorderAV(lastRecording.joined ? lastRecording.resultFile : lastRecording.audioFile);
    } else {
        runDownloader();
    }
}

void Sniffer::composeDownloadPath()
{
    const QString title = options->inputTitle->text();
    const QString name = title.isEmpty() ? QStringLiteral("default") : SaveName::clean(title);
    downloadPath = QDir(options->selectPath->currentText()).filePath(name);
}

QString Sniffer::downloadKeptPath() const
{
    // Beside the chosen file, under the same name, in the container of the chosen format.
    const QString stem
        = targetExtension.isEmpty() ? chosenFilePath : chosenFilePath.chopped(targetExtension.size() + 1);
    const QString extension = chosenFormat().extension;
    return extension.isEmpty() ? stem : stem + QLatin1Char('.') + extension;
}

FormatEntry Sniffer::chosenFormat() const
{
    return offeredFormats.size() == 1 ? offeredFormats.constFirst()
                                      : offeredFormats.value(options->listFormats->currentRow());
}

void Sniffer::runDownloader()
{
    trace() << "runDownloader"
            << ":"
            << "OK";
    const bool audio = downloadKind == SaveTargets::AudioKind;
    QueueEntry entry;
    entry.address = downloader->url();
    entry.title = options->inputTitle->text();
    entry.mode = audio ? Downloader::FromAudioDownload : Downloader::FromVideoDownload;
    entry.subtitles = chosenSubtitles();
    const QList<PageVideo> &videos = videoInfo().videos;
    if (videos.isEmpty()) {
        entry.format = formatSelector(chosenFormat(), audio);
        entry.target = chosenFilePath;
        entry.targetReplace = chosenReplace;
        entry.download = QDir::toNativeSeparators(downloadKeptPath());
        // Only a video save keeps the download, and only then did the question name it.
        entry.downloadReplace = audio ? UserFileSave::Replace::Refuse : chosenReplace;
        enqueueDownloads({ entry });
        return;
    }

    const QListWidgetItem *rule = options->listFormats->currentItem();
    entry.format = cappedSelector(rule != nullptr ? rule->data(Qt::UserRole).toInt() : 0, audio);
    // Each ticked video goes beside the chosen file, under its own title and a name nothing else has.
    const QDir folder = QFileInfo(chosenFilePath).absoluteDir();
    const QString extension = QFileInfo(chosenFilePath).suffix();
    QStringList taken;
    QList<QueueEntry> entries;
    for (int row = 0; row < options->listVideos->count() && row < videos.size(); ++row) {
        if (options->listVideos->item(row)->checkState() != Qt::Checked) {
            continue;
        }
        QueueEntry one = entry;
        const PageVideo &video = videos.at(row);
        // A linked file is fetched by its own address.
        one.address = video.address.isEmpty() ? entry.address : video.address;
        one.item = video.item;
        one.title = video.title;
        const QString stem = folder.filePath(SaveName::clean(one.title));
        QString target;
        for (int number = 1; target.isEmpty() || UserFileSave::exists(target) || taken.contains(target); ++number) {
            target = number == 1 ? stem : QStringLiteral("%1 (%2)").arg(stem).arg(number);
            target += QLatin1Char('.') + extension;
        }
        taken.append(target);
        one.target = target;
        // The tool's container is known once it has fetched; the kept name follows it then.
        one.download = QDir::toNativeSeparators(target.chopped(extension.size()) + QStringLiteral("mp4"));
        entries.append(one);
    }
    if (entries.isEmpty()) {
        MessageBox::information(this, Program::name, tr("Tick the videos to save first."));
        return;
    }
    enqueueDownloads(entries);
}

void Sniffer::extractAudio()
{
    extractAudio(Downloader::FromAudioDownload);
}

void Sniffer::extractAudio(Downloader::FormatConvertingFrom mode)
{
    trace() << "extractAudio"
            << ":"
            << "OK";
    progressBarStart(100, true);
    downloader->formatConverting(QDir::toNativeSeparators(downloadPath), QDir::toNativeSeparators(targetFilePath), mode,
                                 chosenReplace);
}

void Sniffer::tellSaved()
{
    // The files' names (every one a queue saved), and the way to the last.
    const QStringList files = queueSaved.isEmpty() ? QStringList { targetFilePath } : std::exchange(queueSaved, {});
    const QString saved = DownloadTexts::savedText(files);
    if (MessageBox::inform(this, QStringLiteral("Processing state:"), QStringLiteral("Processing is completed"), saved,
                           { tr("Open folder"), QMessageBox::ActionRole, QStringLiteral("openFolder") })) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(targetFilePath).absolutePath()));
    }
}

void Sniffer::postDownload()
{
    trace() << "postDownload"
            << ":"
            << "OK";
    progress->progressBar->setValue(progress->progressBar->maximum());
    stopDots();
    tellSaved();
    if (recorderSaveMode) {
        trace() << "postDownload"
                << ":"
                << "OK";
        recorderSaveMode = false;
        showLayer(LayerMain);
    } else if (sniffedDownloadKind == SaveTargets::AudioKind) {
        sniffedDownloadKind = SaveTargets::VideoKind;
        showLayer(LayerSniffer);
    } else {
        showLayer(LayerInsertUrl);
    }
}

void Sniffer::onDownloaderError(Downloader::errors error)
{
    QString detail = downloader->lastToolMessage();
    if (!downloader->keptDownload().isEmpty()) {
        detail += QLatin1Char('\n')
            + tr("The downloaded file is kept as %1.").arg(QDir::toNativeSeparators(downloader->keptDownload()));
    }
    // The update runs beside whatever the user does: it leaves its own page only.
    if (error == Downloader::UpdateFailed && layerHistory.value(layerHistory.size() - 1) != LayerUpdate) {
        setErrorContext("onDownloaderError");
        showDownloaderError(int(error), detail.trimmed());
        return;
    }
    optionsDropped = true;
    stopDots();
    // A recording that could not be converted is still there: the user may try another container.
    if (recorderSaveMode) {
        showLayer(LayerOptions);
    } else if (sniffedDownloadKind == SaveTargets::AudioKind) {
        sniffedDownloadKind = SaveTargets::VideoKind;
        showLayer(LayerSniffer);
    } else {
        showLayer(LayerInsertUrl);
    }
    traceError() << "onDownloaderError"
                 << ":"
                 << "error" << int(error);
    setErrorContext("onDownloaderError");
    showDownloaderError(int(error), detail.trimmed());
}
