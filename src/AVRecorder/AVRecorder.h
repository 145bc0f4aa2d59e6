#pragma once

#include "RecorderChoices.h"
#include "RecordingClock.h"

#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class Grabbers;
class QTimer;
class ToolProcess;
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
        // False when picture and sound could not be joined: resultFile is then empty and each part is saved on
        // its own.
        bool joined = true;
        // Every file the recording left in the temporary folder.
        QStringList temporaries;
    };

    AVRecorder(QWidget *parent, const QString &appDir, const QString &tempDir);
    ~AVRecorder() override;

    void startRecorder();
    void startRecorder(const QRect &region);

    void setChoices(const RecorderChoices &choices);
    RecorderChoices choices() const;

    Q_INVOKABLE void clickButtonStart();
    Q_INVOKABLE void clickButtonClose();
    // Frames the whole screen the frame is on.
    Q_INVOKABLE void clickButtonWholeScreen();
    // Lets the user click the window to record; the frame then lies over it.
    Q_INVOKABLE void clickButtonPickWindow();

public slots:
    void stop();
    // The stop dialog was closed: asks whether to keep the recording, discard it or go on recording.
    void cancel();

signals:
    void done(AVRecorder::ResultingData data);
    void done(const QString &path);
    void error(int ret, const QString &msg);
    void close();
    void choicesChanged(const RecorderChoices &choices);

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
    bool ask(const QString &text, const QString &yes);
    bool roomToRecord(const QRect &region);
    void pause();
    void resume();
    void showStatus();
    void frame(const QRect &region);

    // How a recording that is being stopped ends.
    enum class Ending { None, Keep, Discard, Close };

    std::unique_ptr<Ui::AVRecorder> ui;
    ResultingData output;
    std::unique_ptr<StopDialog> stopDialog;
    std::unique_ptr<QWidget> busyWindow;
    NcFramelessHelper *framelessHelper;
    Grabbers *grabbers = nullptr;
    ToolProcess *picker;
    int screenWidth = 0;
    int screenHeight = 0;
    bool recording = false;
    QString tempFolder;
    RecordingClock clock;
    QElapsedTimer steady;
    QTimer *statusTimer;
    Ending ending = Ending::None;
    // What went wrong on the way, told to the user with the recording.
    QStringList warnings;
};

Q_DECLARE_METATYPE(AVRecorder::ResultingData)
