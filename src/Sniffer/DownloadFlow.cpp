#include "Sniffer.h"

#include "FormatRows.h"
#include "SaveName.h"
#include "SaveTargets.h"
#include "Trace.h"
#include "ui_Options.h"
#include "ui_Progress.h"
#include "ui_Settings.h"

#include <QDir>
#include <QKeySequence>
#include <QListWidget>
#include <QMessageBox>
#include <QShortcut>

void Sniffer::initDownloader()
{
    trace() << "initDownloader"
            << ":"
            << "OK";
    downloader = std::make_unique<Downloader>();
    connect(downloader.get(), &Downloader::hasError, this, &Sniffer::onDownloaderError);
    connect(downloader.get(), &Downloader::percent, this, &Sniffer::showPercents);
    connect(downloader.get(), &Downloader::haveTitle, this, &Sniffer::postTitleRequest);
    connect(downloader.get(), &Downloader::haveFormats, this, &Sniffer::postFormatsRequest);
    connect(downloader.get(), &Downloader::haveFile, this, &Sniffer::postFileRequest);
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
    options->lblTitle->setText(video.title);
    options->inputTitle->setText(video.title);
    options->lblDLLength->setText(video.duration);
    showOptionsWhenComplete();
}

void Sniffer::clearFormatList()
{
    options->listFormats->clear();
    formatCodes.clear();
}

void Sniffer::postFormatsRequest()
{
    trace() << "postFormatsRequest"
            << ":"
            << "OK";
    clearFormatList();
    const QHash<int, FormatEntry> &formats = videoInfo().formats;
    if (formats.size() <= 1) {
        const QList<int> codes = formats.keys();
        const bool audioOnly = !codes.isEmpty() && formats.value(codes.constFirst()).extension == QStringLiteral("mp3");
        options->btnDownloadAudio->setHidden(audioOnly);
        options->btnDownloadVideo->setIcon(
            QIcon(audioOnly ? QStringLiteral(":/btnAudioDL") : QStringLiteral(":/btnVideoDL")));
        showOptionsWhenComplete();
        return;
    }

    const QList<FormatRows::Row> rows = FormatRows::rows(formats);
    for (const FormatRows::Row &row : rows) {
        auto *item = new QListWidgetItem(QIcon(row.icon), row.text, options->listFormats);
        item->setSizeHint(QSize(120, 26));
        formatCodes.append(row.code);
    }
    options->listFormats->setIconSize(QSize(87, 23));
    options->listFormats->setCurrentRow(FormatRows::bestRow(formats, rows));
    options->listFormats->setMinimumHeight(27 * int(rows.size()));
    options->listFormats->setMaximumHeight(27 * int(rows.size()) + 10);
    if (options->btnDownloadAudio->isHidden()) {
        options->btnDownloadAudio->show();
        options->btnDownloadVideo->setIcon(QIcon(QStringLiteral(":/btnVideoDL")));
    }
    showOptionsWhenComplete();
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
    downloadKind = SaveTargets::VideoKind;
    if (!selectSaveFile()) {
        return;
    }
    if (recorderSaveMode) {
        saveRecorderAV(lastRecording.resultFile);
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
        saveRecorderAV(lastRecording.audioFile);
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
    const QString extension = downloader->videoInfo().formats.value(chosenFormatCode()).extension;
    return extension.isEmpty() ? stem : stem + QLatin1Char('.') + extension;
}

int Sniffer::chosenFormatCode() const
{
    // A single format is offered without a list.
    if (formatCodes.isEmpty()) {
        const QHash<int, FormatEntry> &formats = downloader->videoInfo().formats;
        return formats.size() == 1 ? formats.keys().constFirst() : 0;
    }
    return formatCodes.value(options->listFormats->currentRow(), 0);
}

void Sniffer::runDownloader()
{
    trace() << "runDownloader"
            << ":"
            << "OK";
    progressBarStart();
    targetFilePath = chosenFilePath;
    downloadPath = downloadKeptPath();
    // Only a video save keeps the download, and only then did the question name it.
    const UserFileSave::Replace keep
        = downloadKind == SaveTargets::VideoKind ? chosenReplace : UserFileSave::Replace::Refuse;
    downloader->requestFile(chosenFormatCode(), QDir::toNativeSeparators(downloadPath), keep);
}

void Sniffer::postFileRequest()
{
    trace() << "postFileRequest"
            << ":"
            << "OK";
    if (downloadKind == SaveTargets::AudioKind) {
        extractAudio(Downloader::FromAudioDownload);
    } else {
        targetFilePath = chosenFilePath;
        extractAudio(Downloader::FromVideoDownload);
    }
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

void Sniffer::postDownload()
{
    trace() << "postDownload"
            << ":"
            << "OK";
    progress->progressBar->setValue(progress->progressBar->maximum());
    setStyleSheet(QString());
    stopDots();
    QMessageBox::information(this, QStringLiteral("Processing state:"), QStringLiteral("Processing is completed"),
                             QMessageBox::Ok);
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
