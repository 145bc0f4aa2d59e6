#include "Sniffer.h"

#include "DownloadQueue.h"
#include "DownloadTexts.h"
#include "MessageBox.h"
#include "Program.h"
#include "Trace.h"
#include "ui_Progress.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTimer>

void Sniffer::progressBarStart()
{
    trace() << "progressBarStart"
            << ":"
            << "OK";
    progress->lblConverting->hide();
    progress->lblDots->hide();
    progress->lblTransfer->clear();
    progress->progressBar->setValue(progress->progressBar->minimum());
    showLayer(LayerProgress);
}

void Sniffer::startProgress(int interval)
{
    progressBarStart();
    iterationTimer->start(interval);
}

void Sniffer::progressBarStart(int interval, bool converting)
{
    trace() << "progressBarStart"
            << ":"
            << "Ok";
    if (!converting) {
        return;
    }
    showLayer(LayerProgress);
    showConverting(interval);
}

void Sniffer::showConverting(int interval)
{
    progress->lblConverting->show();
    progress->lblDots->show();
    progress->lblTransfer->clear();
    progress->progressBar->setValue(progress->progressBar->maximum());
    dots = {};
    progress->lblDots->setText(dots.text());
    dotsRunning = true;
    dotsTimer->start(interval);
}

void Sniffer::stopDots()
{
    if (dotsRunning) {
        dotsTimer->stop();
        dotsRunning = false;
    }
}

void Sniffer::progressBarIteration()
{
    QProgressBar *bar = progress->progressBar;
    bar->setValue(ProgressAnimation::nextValue(bar->value(), bar->minimum(), bar->maximum(),
                                               QRandomGenerator::global()->generate()));
}

void Sniffer::progressBarTextIteration()
{
    dots.step();
    progress->lblDots->setText(dots.text());
}

void Sniffer::stopLastProcess()
{
    trace() << "stopLastProcess"
            << ":"
            << "OK";
    // Cancel while a page is read ends that lookup only: the queued downloads go on.
    const bool lookingUp = iterationTimer->isActive();
    if (lookingUp) {
        iterationTimer->stop();
    }
    progress->progressBar->setValue(progress->progressBar->maximum());
    optionsDropped = true;
    stopDots();
    downloader->stop();
    if (lookingUp && queue->pending() > 0) {
        showQueuedProgress();
        showLayer(LayerProgress);
        return;
    }
    queue->clear();
    showLayer(LayerMain);
    if (!downloader->keptDownload().isEmpty()) {
        MessageBox::information(this, Program::name,
                                tr("The conversion was cancelled. The downloaded file is kept as %1.")
                                    .arg(QDir::toNativeSeparators(downloader->keptDownload())));
    }
}

void Sniffer::showPercents(float percent)
{
    progress->progressBar->setValue(static_cast<int>(percent));
}

void Sniffer::showTransfer(const ToolProgress &figures)
{
    progress->lblTransfer->setText(
        DownloadTexts::transferText(figures.done, figures.total, figures.estimated, figures.speed, figures.left));
}

void Sniffer::showConverted(double secondsDone, qint64 bytesWritten, double speed)
{
    progress->lblTransfer->setText(DownloadTexts::convertedText(secondsDone, quint64(bytesWritten), speed));
}
