#pragma once

#include <QDialog>
#include <QImage>

#include <array>
#include <memory>

class QTimer;

namespace Ui {
class StopDialog;
}

// The small always-on-top dialog shown while recording: a running light of five dots and a Stop button.
class StopDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StopDialog)

public:
    explicit StopDialog(QWidget *parent = nullptr);
    ~StopDialog() override;

    Q_INVOKABLE void clickButtonStop();
    void reject() override;

public slots:
    // Moves the enlarged dot one place on, wrapping after the fifth, and repaints.
    void update();

signals:
    void stop();
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
};
