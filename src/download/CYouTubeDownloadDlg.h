#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <memory>

class CYouTubeDownloader;

namespace Ui {
class CHttpDownloadDlg;
}

// Runs one download as a modal dialog with its progress. exec() returns 1 when the file was saved,
// 0 when the transfer failed or was cancelled (Cancel, Escape or the title-bar close button).
class CYouTubeDownloadDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CYouTubeDownloadDlg)

public:
    explicit CYouTubeDownloadDlg(QWidget *parent);
    ~CYouTubeDownloadDlg() override;

    // Its URL, request header and file name are set by the caller before beginDownload().
    CYouTubeDownloader *worker() const;
    void beginDownload();

public slots:
    void setPercentage(int percent);
    void setTimeLeft(unsigned int seconds, unsigned long long bytesRead, unsigned long long totalBytes);
    void setStatus(const QString &text);
    void setTransferRate(double bytesPerMillisecond);
    void reject() override;

private:
    void OnProgress(unsigned long long nBytesRead, bool bGotFileSize, unsigned long long nFileSize);
    void onThreadFinished();
    void on_pbCanceled_clicked();

    QString fileName;
    unsigned long long lastSampleBytes = 0;
    int lastPercent = -1;
    qint64 lastSampleTime = 0;
    qint64 startTime = 0;
    CYouTubeDownloader *downloader;
    std::unique_ptr<Ui::CHttpDownloadDlg> form;
    QElapsedTimer timer;
    bool transferring = false;
};
