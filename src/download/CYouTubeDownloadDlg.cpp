#include "CYouTubeDownloadDlg.h"

#include "CYouTubeDownloader.h"
#include "DownloadTexts.h"
#include "MessageBox.h"
#include "ui_CHttpDownloadDlg.h"

#include <QUrl>

CYouTubeDownloadDlg::CYouTubeDownloadDlg(QWidget *parent)
    : QDialog(parent)
    , downloader(new CYouTubeDownloader)
    , form(std::make_unique<Ui::CHttpDownloadDlg>())
{
    form->setupUi(this);
    downloader->setParent(this);
    setWindowTitle(QStringLiteral("Starting download..."));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(600, 180);
    connect(downloader, &CYouTubeDownloader::OnProgress, this, &CYouTubeDownloadDlg::OnProgress);
    // Direct: the modal loop ends inside the worker's finishing step, after the file is in place.
    connect(downloader, &CYouTubeDownloader::finished, this, &CYouTubeDownloadDlg::onThreadFinished,
            Qt::DirectConnection);
    connect(form->pbCancel, &QPushButton::clicked, this, &CYouTubeDownloadDlg::on_pbCanceled_clicked);
    timer.start();
}

CYouTubeDownloadDlg::~CYouTubeDownloadDlg() = default;

CYouTubeDownloader *CYouTubeDownloadDlg::worker() const
{
    return downloader;
}

void CYouTubeDownloadDlg::beginDownload()
{
    lastPercent = -1;
    lastSampleBytes = 0;
    const QUrl url = QUrl::fromEncoded(downloader->url().toLatin1());
    qDebug() << url;
    qDebug() << url.path() << url.host();
    showSource(url);
    transferring = true;
    downloader->startDownload();
}

void CYouTubeDownloadDlg::beginStreamSave(const StreamSave::Job &job)
{
    streamSave = new StreamSave(this);
    connect(streamSave, &StreamSave::progress, this, &CYouTubeDownloadDlg::onStreamProgress);
    connect(streamSave, &StreamSave::finished, this,
            [this] { endTransfer(streamSave->isAborted(), 0, streamSave->errorText()); });
    streamDuration = job.duration;
    liveSave = job.live;
    lastPercent = -1;
    lastSampleBytes = 0;
    lastSampleTime = timer.elapsed();
    showSource(QUrl(job.url));
    form->label_3->setText(QStringLiteral("Saved:"));
    if (streamDuration <= 0) {
        form->progressDownload->setRange(0, 0);
        setWindowTitle(QStringLiteral("Saving %1").arg(fileName));
    }
    if (liveSave) {
        form->pbCancel->setText(QStringLiteral("Stop and keep"));
    }
    setStatus(QStringLiteral("Saving the stream"));
    transferring = true;
    streamSave->start(job);
}

void CYouTubeDownloadDlg::showSource(const QUrl &url)
{
    fileName = DownloadTexts::shownFileName(url);
    form->lbFileStatus->setText(QStringLiteral("%1 from %2").arg(fileName, url.host()));
}

void CYouTubeDownloadDlg::setPercentage(int percent)
{
    form->progressDownload->setValue(percent);
    setWindowTitle(QStringLiteral("%1% of %2 Completed").arg(percent).arg(fileName));
}

void CYouTubeDownloadDlg::setTimeLeft(unsigned int seconds, unsigned long long bytesRead, unsigned long long totalBytes)
{
    form->lbTimeLeft->setText(DownloadTexts::timeLeftText(seconds, bytesRead, totalBytes));
}

void CYouTubeDownloadDlg::setStatus(const QString &text)
{
    downloader->logStatus(text);
    form->lbCtrlStatus->setText(text);
}

void CYouTubeDownloadDlg::setTransferRate(double bytesPerMillisecond)
{
    form->lbTransferRate->setText(DownloadTexts::rateText(bytesPerMillisecond));
}

void CYouTubeDownloadDlg::reject()
{
    // Escape and the title-bar button cancel like the Cancel button; the dialog then ends when the
    // worker reports the end of the transfer.
    if (transferring) {
        on_pbCanceled_clicked();
    } else {
        QDialog::reject();
    }
}

void CYouTubeDownloadDlg::OnProgress(unsigned long long nBytesRead, bool bGotFileSize, unsigned long long nFileSize)
{
    if (lastPercent == -1) {
        startTime = timer.elapsed();
        lastSampleTime = startTime;
    }
    if (bGotFileSize) {
        // A server sending more than it announced must not push the bar past its end.
        const int percent = int(qMin<unsigned long long>(nBytesRead * 100 / nFileSize, 100));
        if (percent != lastPercent) {
            setPercentage(percent);
            lastPercent = percent;
        }
    }
    if (!sampleRate(nBytesRead)) {
        return;
    }
    if (bGotFileSize && nBytesRead != 0) {
        const unsigned long long remaining = nFileSize > nBytesRead ? nFileSize - nBytesRead : 0;
        const double secondsLeft = double(lastSampleTime - startTime) / double(nBytesRead) * double(remaining) / 1000.0;
        setTimeLeft(static_cast<unsigned int>(secondsLeft), nBytesRead, nFileSize);
    }
}

void CYouTubeDownloadDlg::onStreamProgress(double secondsDone, qint64 bytesWritten, double speed)
{
    if (streamDuration > 0) {
        const int percent = int(qMin(secondsDone * 100 / streamDuration, 100.0));
        if (percent != lastPercent) {
            setPercentage(percent);
            lastPercent = percent;
        }
    }
    const auto bytes = quint64(qMax<qint64>(bytesWritten, 0));
    form->lbTimeLeft->setText(DownloadTexts::streamSavedText(secondsDone, streamDuration, bytes, speed));
    sampleRate(bytes);
}

bool CYouTubeDownloadDlg::sampleRate(unsigned long long bytes)
{
    const qint64 now = timer.elapsed();
    if (now - lastSampleTime <= 1000) {
        return false;
    }
    setTransferRate(double(qMax(bytes, lastSampleBytes) - lastSampleBytes) / double(now - lastSampleTime));
    lastSampleBytes = bytes;
    lastSampleTime = now;
    return true;
}

void CYouTubeDownloadDlg::onThreadFinished()
{
    endTransfer(downloader->isAborted(), downloader->networkError(), downloader->errorText());
}

void CYouTubeDownloadDlg::endTransfer(bool aborted, int networkError, const QString &errorText)
{
    transferring = false;
    if (aborted) {
        done(0);
    } else if (networkError != 0) {
        // What went wrong, in the network layer's words ("Connection refused", "... Not Found").
        MessageBox::critical(this, QStringLiteral("Error"), QStringLiteral("Server Error"), errorText);
        done(0);
    } else if (!errorText.isEmpty()) {
        MessageBox::critical(this, QStringLiteral("Error"), errorText);
        done(0);
    } else {
        done(1);
    }
}

void CYouTubeDownloadDlg::on_pbCanceled_clicked()
{
    form->pbCancel->setEnabled(false);
    if (streamSave != nullptr && liveSave) {
        setStatus(QStringLiteral("Stopping, keeping what was saved"));
        streamSave->stopAndKeep();
        return;
    }
    if (streamSave != nullptr) {
        streamSave->abort();
    } else {
        downloader->abort();
    }
    setStatus(QStringLiteral("Aborting transfer"));
}
