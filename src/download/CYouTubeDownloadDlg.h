#pragma once

#include "StreamSave.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <memory>

class CYouTubeDownloader;
class QUrl;

namespace Ui {
class CHttpDownloadDlg;
}

// Runs one download or stream save as a modal dialog with its progress. exec() returns 1 when the file was saved
// (a stopped live save keeps it), 0 when the transfer failed or was cancelled (Cancel, Escape, title-bar close).
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
    // Used instead of worker() and beginDownload().
    void beginStreamSave(const StreamSave::Job &job);

public slots:
    void setPercentage(int percent);
    void setTimeLeft(unsigned int seconds, unsigned long long bytesRead, unsigned long long totalBytes);
    void setStatus(const QString &text);
    void setTransferRate(double bytesPerMillisecond);
    void reject() override;

private:
    void OnProgress(unsigned long long nBytesRead, bool bGotFileSize, unsigned long long nFileSize);
    void onThreadFinished();
    void onStreamProgress(double secondsDone, qint64 bytesWritten, double speed);
    void endTransfer(bool aborted, int networkError, const QString &errorText);
    void on_pbCanceled_clicked();
    void showSource(const QUrl &url);
    bool sampleRate(unsigned long long bytes);

    QString fileName;
    unsigned long long lastSampleBytes = 0;
    int lastPercent = -1;
    qint64 lastSampleTime = 0;
    qint64 startTime = 0;
    CYouTubeDownloader *downloader;
    StreamSave *streamSave = nullptr;
    double streamDuration = -1;
    bool liveSave = false;
    std::unique_ptr<Ui::CHttpDownloadDlg> form;
    QElapsedTimer timer;
    bool transferring = false;
};
