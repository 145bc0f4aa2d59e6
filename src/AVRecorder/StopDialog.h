#pragma once

#include <QDialog>
#include <QImage>

#include <array>
#include <memory>

class QTimer;

namespace Ui {
class StopDialog;
}

// The small always-on-top dialog shown while recording: a running light of five dots, the running time and size,
// and the Pause and Stop buttons.
class StopDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopDialog)

public:
    explicit StopDialog(QWidget *parent = nullptr);
    ~StopDialog() override;

    Q_INVOKABLE void clickButtonStop();
    // Asks to pause, or to resume when paused.
    Q_INVOKABLE void clickButtonPause();
    // The light stands still and the button offers to resume while paused.
    void setPaused(bool paused);
    bool isPaused() const;
    void setStatus(const QString &text);
    void reject() override;

public slots:
    // Moves the enlarged dot one place on, wrapping after the fifth, and repaints.
    void update();

signals:
    void stop();
    void pause();
    void resume();
    // Closed or Escape pressed; the dialog stays until the recorder hides it.
    void closeStop();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::StopDialog> ui;
    QTimer *timer;
    QImage dot;
    std::array<int, 5> dotStates { 1, 0, 0, 0, 0 };
    bool pausedNow = false;
};
