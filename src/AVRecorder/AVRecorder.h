#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class Grabbers;
class NcFramelessHelper;
class StopDialog;

namespace Ui {
class AVRecorder;
}

// The semi-transparent frameless rectangle the user places over the region to record. Start hides it and
// shows the stop dialog while the captures run; Stop merges them and reports the files. One object serves
// one recording. Nothing here waits for the converter: done() or close() follows once the captures ended.
class AVRecorder final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AVRecorder)

public:
    struct ResultingData
    {
        QString audioFile;
        QString videoFile;
        QString resultFile;
        QRect geometry;
    };

    AVRecorder(QWidget *parent, const QString &appDir, const QString &tempDir);
    ~AVRecorder() override;

    void startRecorder();
    void startRecorder(const QRect &region);

    Q_INVOKABLE void clickButtonStart();
    Q_INVOKABLE void clickButtonClose();

public slots:
    void stop();
    // The stop dialog was closed: asks whether to keep the recording, discard it or go on recording.
    void cancel();

signals:
    void done(AVRecorder::ResultingData data);
    void done(const QString &path);
    void error(int ret, const QString &msg);
    void close();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void placeChildren();
    void setBackgroundColor(const QString &colour);
    // False when the user gave up on a machine with several monitors.
    bool onMultiDesktopScreens();
    void cleanRegistry();
    void grabVideo(int x, int y);
    void grabAudio();
    void mergeAudioVideo();
    void finishRecording();
    void captureFailed(const QString &message);
    void captureInterrupted(const QString &message);
    void capturesStopped();
    void merged(bool ok);
    void discard();
    void removeFiles();
    void showBusy();
    void tell(const QString &text);

    // How a recording that is being stopped ends.
    enum class Ending { None, Keep, Discard, Close };

    std::unique_ptr<Ui::AVRecorder> ui;
    ResultingData output;
    std::unique_ptr<StopDialog> stopDialog;
    std::unique_ptr<QWidget> busyWindow;
    NcFramelessHelper *framelessHelper;
    Grabbers *grabbers = nullptr;
    int screenWidth = 0;
    int screenHeight = 0;
    bool recording = false;
    Ending ending = Ending::None;
    // What went wrong on the way, told to the user with the recording.
    QStringList warnings;
};

Q_DECLARE_METATYPE(AVRecorder::ResultingData)
