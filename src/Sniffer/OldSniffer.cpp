#include "Sniffer.h"

#include "DownloadTexts.h"

#include "CVideoSniffer.h"
#include "CYouTubeDownloadDlg.h"
#include "CYouTubeDownloader.h"
#include "CaptureEngines.h"
#include "CaptureHelper.h"
#include "DownloadTexts.h"
#include "ExternalTools.h"
#include "MessageBox.h"
#include "MessageIds.h"
#include "Options.h"
#include "Program.h"
#include "SaveTargets.h"
#include "SniffBrowser.h"
#include "SniffReportQueue.h"
#include "SnifferKeyLog.h"
#include "StreamChoice.h"
#include "StreamSave.h"
#include "ToolProcess.h"
#include "Trace.h"
#include "ui_OldSniffer.h"
#include "ui_Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int snifferKind = 5;
constexpr int queueInterval = 50;
// How often the open page looks for adapters that appeared, went away or changed.
constexpr int adapterInterval = 3000;
constexpr int pressedIconTime = 300;
constexpr qint64 copyChunk = 1024 * 1024;

// Shared by every capture thread and the window's thread.
SniffReportQueue &reportQueue()
{
    static SniffReportQueue queue;
    return queue;
}

// Why the copy failed; empty when it is in place. A file of the target's name stays as it was unless the
// copy is complete and replacing it was agreed.
QString copyFile(const QString &source, const QString &target, UserFileSave::Replace replace)
{
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly)) {
        return from.errorString();
    }
    UserFileSave copy(target, replace);
    QIODevice *to = copy.open();
    if (to == nullptr) {
        return copy.errorString();
    }
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(copyChunk);
        if (chunk.isEmpty() || to->write(chunk) != chunk.size()) {
            return chunk.isEmpty() ? from.errorString() : to->errorString();
        }
    }
    return copy.commit() ? QString() : copy.errorString();
}

// The variant of a stream to save: asked when there is a choice, the best one offered first. None when the user
// cancelled.
std::optional<int> askVariant(QWidget *parent, const AdaptiveStream &stream)
{
    const int best = stream.bestVariant();
    if (stream.variants.size() < 2) {
        return best;
    }
    const QStringList labels = StreamChoice::variantLabels(stream);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(Program::name);
    dialog.setLabelText(QObject::tr("Which variant of the stream should be saved?"));
    dialog.setComboBoxItems(labels);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(labels.at(best));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return int(labels.indexOf(dialog.textValue()));
}

QIcon stateIcon(SniffedItem::State state)
{
    static const QColor colors[] = { Qt::red, Qt::yellow, Qt::green };
    QPixmap square(16, 16);
    square.fill(colors[state]);
    return QIcon(square);
}

} // namespace

void Sniffer::queueSniffReport(QByteArray url, QByteArray requestHeader, QByteArray contentLength, QByteArray mediaType,
                               QByteArray body)
{
    reportQueue().push({ SniffedList::withScheme(url), std::move(requestHeader), std::move(contentLength),
                         std::move(mediaType), std::move(body) });
}

void Sniffer::runOldSniffer()
{
    if (oldSniffer->stackedWidget->currentIndex() == 1) {
        pageHeights.setPageHeight(LayerPlan::Page::Sniffer, 202);
        oldSniffer->stackedWidget->setCurrentIndex(0);
    }
    showOldSniffer();
}

void Sniffer::showOldSniffer()
{
    trace() << "showOldSniffer";
    if (!oldSnifferOpened) {
        oldSnifferOpened = true;
        connect(oldSniffer->pbDownloadAudio, &QPushButton::clicked, this, &Sniffer::onClickOldSnifferDownloadAudio);
        connect(oldSniffer->pbDownloadVideo, &QPushButton::clicked, this, &Sniffer::onClickOldSnifferDownloadVideo);
        connect(oldSniffer->pbRemove, &QPushButton::clicked, this, &Sniffer::onClickOldSnifferRemove);
        connect(oldSniffer->pbPreview, &QPushButton::clicked, this, &Sniffer::onClickOldSnifferPreview);
        oldSniffer->pbSniffBrowser->setText(SniffBrowser::buttonText(settingsLists));
        connect(oldSniffer->pbSniffBrowser, &QPushButton::clicked, this, &Sniffer::onClickSniffBrowser);
        // The capture starts: keys of an earlier run's sessions are of no use and should not linger.
        keyLog->empty();
        connect(oldSniffer->mediaList, &QListWidget::itemClicked, this,
                qOverload<QListWidgetItem *>(&Sniffer::onClickOldSnifferListItem));
        // By keys too (a click on the row already current changes no row); the list's own refills are silent.
        connect(oldSniffer->mediaList, &QListWidget::currentRowChanged, this, [this] { sniffedRowPicked = true; });
        connect(this, &Sniffer::downloadFinished, this, &Sniffer::onOldSnifferDownloadFinished);

        urlQueueTimer = new QTimer(this);
        urlQueueTimer->setObjectName(QStringLiteral("urlQueueTimer"));
        connect(urlQueueTimer, &QTimer::timeout, this, &Sniffer::checkUrlQueue);
        urlQueueTimer->start(queueInterval);
    }
    refreshOldSnifferList();
    showLayer(LayerSniffer);
    startEngines();
}

void Sniffer::startEngines()
{
    engines->refresh(true);
    switch (engines->problem()) {
    case CaptureEngines::Problem::None:
        break;
    case CaptureEngines::Problem::NoAdapter:
        showError(MessageIds::NoCaptureAdapter);
        break;
    case CaptureEngines::Problem::NotPermitted:
        showErrorMessage(MessageIds::CaptureNotPermitted, Error,
                         CaptureHelper::permissionAdvice(CaptureHelper::path()));
        break;
    case CaptureEngines::Problem::Failed:
        showErrorMessage(MessageIds::CaptureFailed, Error, engines->failures().join(QLatin1Char('\n')));
        break;
    }
    if (!adapterTimer) {
        adapterTimer = new QTimer(this);
        adapterTimer->setObjectName(QStringLiteral("adapterTimer"));
        connect(adapterTimer, &QTimer::timeout, this, &Sniffer::followAdapters);
    }
    adapterTimer->start(adapterInterval);
}

void Sniffer::followAdapters()
{
    // The engines go on capturing while another page is shown; the next opening brings them up to date.
    if (!container(LayerPlan::Page::Sniffer)->isVisible()) {
        adapterTimer->stop();
        return;
    }
    engines->refresh(false);
}

void Sniffer::checkUrlQueue()
{
    const std::optional<SniffReport> report = reportQueue().take();
    if (!report) {
        return;
    }
    const SniffedList::Outcome outcome
        = sniffedItems.add(QString::fromLatin1(report->url), report->requestHeader, report->contentLength,
                           report->mediaType, QTime::currentTime(), report->body);
    if (outcome == SniffedList::Outcome::Listed || outcome == SniffedList::Outcome::Updated) {
        refreshOldSnifferList();
    }
}

void Sniffer::refreshOldSnifferList()
{
    QListWidget *list = oldSniffer->mediaList;
    // The buttons act on the selected row: a new arrival must not move the row the user picked. Until the user
    // picks one, the newest is selected and in view. The rows know their item, as the items may have changed.
    const int selectedNumber
        = sniffedRowPicked && list->currentItem() != nullptr ? list->currentItem()->data(Qt::UserRole).toInt() : -1;
    const QSignalBlocker quiet(list);
    list->clear();
    const QStringList rows = sniffedItems.rowTexts();
    for (int row = 0; row < rows.size(); ++row) {
        const SniffedItem &sniffed = sniffedItems.at(sniffedItems.indexOfRow(row));
        auto *item = new QListWidgetItem(rows.at(row), list);
        item->setIcon(stateIcon(sniffed.state));
        item->setToolTip(sniffed.url);
        item->setData(Qt::UserRole, sniffed.number);
    }
    const bool any = !rows.isEmpty();
    for (QPushButton *button :
         { oldSniffer->pbPreview, oldSniffer->pbRemove, oldSniffer->pbDownloadVideo, oldSniffer->pbDownloadAudio }) {
        button->setEnabled(any);
    }
    sniffedRowPicked = sniffedRowPicked && sniffedItems.rowOfNumber(selectedNumber) >= 0;
    if (any) {
        list->setCurrentRow(std::max(sniffedItems.rowOfNumber(selectedNumber), 0));
        onClickOldSnifferListItem();
    }
}

int Sniffer::selectedSniffedIndex() const
{
    const int row = oldSniffer->mediaList->currentRow();
    if (row < 0 || row >= sniffedItems.count()) {
        return -1;
    }
    return sniffedItems.indexOfRow(row);
}

void Sniffer::onClickOldSnifferListItem(QListWidgetItem *)
{
    sniffedRowPicked = true;
    onClickOldSnifferListItem();
}

void Sniffer::onClickOldSnifferListItem()
{
    const int index = selectedSniffedIndex();
    if (index >= 0) {
        oldSniffer->pbPreview->setEnabled(!sniffedItems.at(index).fromVideoSite);
    }
}

void Sniffer::ignoreOwnRequest(const QString &url)
{
    const QByteArray reported = SniffedList::reportedUrl(url);
    for (const std::unique_ptr<CVideoSniffer> &engine : engines->engines()) {
        engine->addIgnoredUrl(reported, 1);
    }
}

void Sniffer::withdrawOwnRequest(const QString &url)
{
    // An entry the engine did not use up would swallow the next real report of the address: the own
    // request failed, or went out through another adapter.
    const QByteArray reported = SniffedList::reportedUrl(url);
    for (const std::unique_ptr<CVideoSniffer> &engine : engines->engines()) {
        engine->takeIgnoredUrl(reported);
    }
}

QString Sniffer::keyLogPath() const
{
    return keyLog->path();
}

void Sniffer::onClickSniffBrowser()
{
    const std::optional<SniffBrowser::Choice> choice = SniffBrowser::find();
    if (!choice) {
        setErrorContext("onClickSniffBrowser");
        showErrorMessage(MessageIds::NoSniffBrowser, Error, QDir::toNativeSeparators(keyLog->path()));
        return;
    }
    const QString profile = SniffBrowser::profileFolder(choice->browser, dataFolder);
    QString problem = Platform::runsAsRoot() ? SniffBrowser::asRootProblem(QCoreApplication::applicationFilePath())
                                             : SniffBrowser::prepareProfile(choice->browser, profile);
    // Made here, owner-only, before the browser would make it with the usual permissions.
    if (problem.isEmpty() && !keyLog->create()) {
        problem = tr("the key log %1 cannot be written").arg(QDir::toNativeSeparators(keyLog->path()));
    }
    const QString program = QDir::toNativeSeparators(choice->program);
    if (!problem.isEmpty()) {
        MessageBox::critical(this, Program::name, tr("The browser %1 could not be started: %2").arg(program, problem));
        return;
    }
    trace() << "onClickSniffBrowser"
            << ":" << program << profile;
    const QList<ToolProcess *> tools = findChildren<ToolProcess *>(QString(), Qt::FindDirectChildrenOnly);
    const bool profileInUse = std::any_of(tools.cbegin(), tools.cend(), [&choice](const ToolProcess *tool) {
        return tool->isRunning() && tool->program() == choice->program;
    });
    // One process per start, so a second start never ends a browser the user is still using.
    auto *browser = new ToolProcess(this);
    connect(browser, &ToolProcess::ended, this, [this, browser, program](ToolProcess::End how, int exitCode) {
        const bool notStarted = how == ToolProcess::End::FailedToStart;
        const bool failed = !browser->stopRequested() && (how == ToolProcess::End::Crashed || exitCode != 0);
        const QString reason = browser->errorLine();
        browser->deleteLater();
        if (notStarted || failed) {
            traceError() << "onClickSniffBrowser"
                         << ":" << program << how << exitCode << reason;
            MessageBox::critical(this, Program::name,
                                 (notStarted ? tr("The browser %1 could not be started: %2")
                                             : tr("The browser %1 ended with an error: %2"))
                                     .arg(program, reason));
        }
    });
    ToolProcess::Options running;
    running.output = ToolProcess::Output::Discard;
    running.environment.insert(QStringLiteral("SSLKEYLOGFILE"), keyLog->path());
    browser->start(choice->program, SniffBrowser::arguments(choice->browser, profile, profileInUse), running);
}

const std::vector<std::unique_ptr<CVideoSniffer>> &Sniffer::captureEngines() const
{
    return engines->engines();
}

void Sniffer::onClickOldSnifferPreview()
{
    pressButtonIcon(oldSniffer->pbPreview, QStringLiteral(":/btnPreviewOSN"));
    const int index = selectedSniffedIndex();
    if (index < 0 || sniffedItems.at(index).url.isEmpty()) {
        return;
    }
    const QString url = sniffedItems.at(index).url;
    // The player asks as the browser did: a server may want its cookies or referrer.
    QStringList arguments { url.trimmed() };
    if (const QByteArray headers = DownloadTexts::playerHeaders(sniffedItems.at(index).requestHeader);
        !headers.isEmpty()) {
        arguments = QStringList { QStringLiteral("-headers"), QString::fromLatin1(headers) } + arguments;
    }
    ignoreOwnRequest(url);
    // One player per preview, stopped with the program.
    auto *player = new ToolProcess(this);
    connect(player, &ToolProcess::ended, this, [this, player, url](ToolProcess::End how) {
        withdrawOwnRequest(url);
        const QString program = QDir::toNativeSeparators(player->program());
        const QString reason = player->errorLine();
        player->deleteLater();
        if (how == ToolProcess::End::FailedToStart) {
            MessageBox::critical(this, Program::name,
                                 tr("The player %1 could not be started: %2").arg(program, reason));
        }
    });
    ToolProcess::Options playing;
    playing.output = ToolProcess::Output::Discard;
    player->start(ExternalTools::path(Platform::Tool::Player), arguments, playing);
}

void Sniffer::onClickOldSnifferRemove()
{
    pressButtonIcon(oldSniffer->pbRemove, QStringLiteral(":/btnRemoveOSN"));
    const int index = selectedSniffedIndex();
    if (index >= 0) {
        sniffedItems.remove(index);
        refreshOldSnifferList();
    }
}

void Sniffer::onClickOldSnifferDownloadVideo()
{
    pressButtonIcon(oldSniffer->pbDownloadVideo, QStringLiteral(":/btnVideoOSN"));
    sniffedDownloadKind = SaveTargets::VideoKind;
    const QString path = onClickOldSnifferDownload();
    if (!path.isEmpty()) {
        emit downloadFinished(path);
    }
}

void Sniffer::onClickOldSnifferDownloadAudio()
{
    pressButtonIcon(oldSniffer->pbDownloadAudio, QStringLiteral(":/btnAudioOSN"));
    sniffedDownloadKind = SaveTargets::AudioKind;
    const QString path = onClickOldSnifferDownload();
    if (!path.isEmpty()) {
        emit downloadFinished(path);
    } else {
        sniffedDownloadKind = SaveTargets::VideoKind;
    }
}

QString Sniffer::onClickOldSnifferDownload()
{
    const int index = selectedSniffedIndex();
    if (index < 0) {
        return {};
    }
    const SniffedItem item = sniffedItems.at(index);
    // A stream's sound comes with any of its variants: only a picture asks which.
    const std::optional<int> variant = !item.stream     ? -1
        : sniffedDownloadKind == SaveTargets::AudioKind ? item.stream->bestVariant()
                                                        : askVariant(this, *item.stream);
    const QString path = variant ? selectSniffedSaveFile(item.extension, item.stream.has_value()) : QString();
    if (path.isEmpty()) {
        return {};
    }

    CYouTubeDownloadDlg dialog(this);
    ignoreOwnRequest(item.url);
    sniffedItems.setState(item.number, SniffedItem::Saving);
    refreshOldSnifferList();
    oldSniffer->pbDownloadVideo->setEnabled(false);

    if (item.stream) {
        StreamSave::Job job;
        job.url = item.url.trimmed();
        job.requestHeader = item.requestHeader;
        job.maps = StreamChoice::converterMaps(*item.stream, *variant);
        job.duration = item.stream->duration;
        job.live = item.stream->live;
        job.fileName = path;
        job.replace = chosenReplace;
        dialog.beginStreamSave(job);
    } else {
        dialog.worker()->setUrl(item.url.trimmed());
        dialog.worker()->setRequestHeader(item.requestHeader);
        dialog.worker()->setFileName(path);
        dialog.worker()->setReplace(chosenReplace);
        dialog.beginDownload();
    }
    const bool saved = dialog.exec() == 1;
    withdrawOwnRequest(item.url);
    sniffedItems.setState(item.number, saved ? SniffedItem::Saved : SniffedItem::NotSaved);
    refreshOldSnifferList();
    oldSniffer->pbDownloadVideo->setEnabled(true);
    if (saved) {
        return path;
    }
    MessageBox::information(this, Program::name, tr("Download canceled."));
    return {};
}

QString Sniffer::selectSniffedSaveFile(const QString &extension, bool wholeStream)
{
    const bool audio = sniffedDownloadKind == SaveTargets::AudioKind;
    const bool containers = wholeStream && !audio;
    const QString folder = audio ? settingsPage->pathAudio->text() : settingsPage->pathVideo->text();
    QFileDialog dialog(nullptr, QString(), QString(), QString());
    if (audio) {
        dialog.setNameFilters({ QStringLiteral("mp3") });
    } else if (containers) {
        // The converter copies a stream's picture and sound into either without re-encoding.
        dialog.setNameFilters({ QStringLiteral("MP4 (*.mp4)"), QStringLiteral("MKV (*.mkv)") });
    }
    dialog.setWindowTitle(tr("Save File As..."));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The name is changed after the dialog closes; the real target is checked below.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDirectory(folder);
    dialog.selectFile(QDir::fromNativeSeparators(folder + QDir::separator() + QStringLiteral("untitled")));
    if (Rk::Options::instance().alwaysOnTop()) {
        dialog.setWindowFlags(dialog.windowFlags() | Qt::WindowStaysOnTopHint);
    }
    connect(&dialog, &QFileDialog::filterSelected, this, &Sniffer::onSaveFilterSelected);
    sniffedSaveDialog = &dialog;
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    sniffedSaveDialog = nullptr;
    if (!accepted) {
        return {};
    }

    const QString selected = dialog.selectedFiles().constFirst();
    const QString path = containers ? SniffedList::streamTargetPath(selected, dialog.selectedNameFilter())
                                    : SniffedList::targetPath(selected, extension, dialog.selectedNameFilter());
    Rk::Options::instance().setLastFolder(snifferKind, dialog.directory().absolutePath());
    // An audio save also writes the ".mp3" beside the stream; neither may replace a file unasked.
    QStringList written { path };
    if (audio) {
        written.append(SniffedList::audioCompanion(path));
    }
    bool cancelled = false;
    chosenReplace = confirmReplace(written, cancelled);
    return cancelled ? QString() : path;
}

void Sniffer::onSaveFilterSelected(const QString &filter)
{
    const QString extension = SaveTargets::extensionFromFilter(filter);
    if (sniffedSaveDialog == nullptr || extension.isEmpty() || sniffedSaveDialog->selectedFiles().isEmpty()) {
        return;
    }
    const QFileInfo current(sniffedSaveDialog->selectedFiles().constFirst());
    sniffedSaveDialog->selectFile(current.path() + QDir::separator() + current.completeBaseName() + QLatin1Char('.')
                                  + extension);
}

void Sniffer::onOldSnifferDownloadFinished(QString path)
{
    if (sniffedDownloadKind != SaveTargets::AudioKind) {
        return;
    }
    const QFileInfo source(path);
    const QString target = SniffedList::audioCompanion(path);
    trace() << "onOldSnifferDownloadFinished"
            << ":" << path << target;
    if (QFileInfo(target) == source) {
        sniffedDownloadKind = SaveTargets::VideoKind;
        return;
    }
    // Only an MP3 stream may simply be copied; anything else has its audio extracted, the saved file kept.
    if (source.suffix().compare(QStringLiteral("mp3"), Qt::CaseInsensitive) != 0) {
        downloadPath = path;
        targetFilePath = target;
        extractAudio(Downloader::FromVideoDownload);
        return;
    }
    sniffedDownloadKind = SaveTargets::VideoKind;
    const QString failure = copyFile(path, target, chosenReplace);
    if (!failure.isEmpty()) {
        traceError() << "onOldSnifferDownloadFinished"
                     << ":"
                     << "cannot copy to" << target << failure;
        MessageBox::information(this, Program::name,
                                tr("The download was saved as %1, but the audio copy %2 could not be written: %3")
                                    .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(target), failure));
    }
}

void Sniffer::pressButtonIcon(QPushButton *button, const QString &resource)
{
    pressedButton = button;
    pressedIcon = resource;
    iconRestored = false;
    button->setIcon(QIcon(resource + QStringLiteral("clc")));
    QTimer::singleShot(pressedIconTime, this, &Sniffer::changeButtonIcon);
}

void Sniffer::changeButtonIcon()
{
    if (pressedButton != nullptr && !iconRestored) {
        pressedButton->setIcon(QIcon(pressedIcon));
        iconRestored = true;
    }
}
