#include "StopDialog.h"

#include "ui_StopDialog.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QPainter>
#include <QShortcut>
#include <QTimer>

namespace {

constexpr int LightIntervalMsecs = 200;

} // namespace

StopDialog::StopDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::StopDialog>())
    , timer(new QTimer(this))
    , dot(QStringLiteral(":/resources/resources/sphere.png"))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
    const int w = width();
    const int h = height();
    ui->pushButtonPause->move(w / 2 - ui->pushButtonPause->width() - 5, (h - h / 2) + h / 6);
    ui->pushButtonStop->move(w / 2 + 5, (h - h / 2) + h / 6);
    ui->label->move(w / 2 - ui->label->width() / 2, ui->label->height() / 2);

    timer->setInterval(LightIntervalMsecs);
    connect(timer, &QTimer::timeout, this, &StopDialog::update);
    timer->start();

    connect(ui->pushButtonStop, &QPushButton::clicked, this, &StopDialog::clickButtonStop);
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(shortcut, &QShortcut::activated, this, &StopDialog::clickButtonStop);
    connect(ui->pushButtonPause, &QPushButton::clicked, this, &StopDialog::clickButtonPause);
    auto *pauseShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(pauseShortcut, &QShortcut::activated, this, &StopDialog::clickButtonPause);
}

StopDialog::~StopDialog() = default;

void StopDialog::clickButtonStop()
{
    emit stop();
}

void StopDialog::clickButtonPause()
{
    if (pausedNow) {
        emit resume();
    } else {
        emit pause();
    }
}

void StopDialog::setPaused(bool paused)
{
    pausedNow = paused;
    ui->pushButtonPause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (paused) {
        timer->stop();
    } else {
        timer->start();
    }
}

bool StopDialog::isPaused() const
{
    return pausedNow;
}

void StopDialog::setStatus(const QString &text)
{
    ui->labelStatus->setText(text);
}

void StopDialog::update()
{
    for (std::size_t i = 0; i < dotStates.size(); ++i) {
        if (dotStates[i] == 1) {
            dotStates[i] = 0;
            dotStates[(i + 1) % dotStates.size()] = 1;
            break;
        }
    }
    QWidget::update();
}

void StopDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    const int cx = width() / 2;
    const int cy = height() / 2;
    struct Place
    {
        QPoint normal;
        QPoint enlarged;
    };
    const std::array<Place, 5> places { {
        { { cx - 28, cy - 8 }, { cx - 29, cy - 10 } },
        { { cx - 16, cy - 8 }, { cx - 17, cy - 10 } },
        { { cx - 4, cy - 8 }, { cx - 5, cy - 9 } },
        { { cx + 8, cy - 8 }, { cx + 7, cy - 10 } },
        { { cx + 20, cy - 8 }, { cx + 19, cy - 10 } },
    } };
    QPainter painter(this);
    for (std::size_t i = places.size(); i-- > 0;) {
        const bool lit = dotStates[i] == 1;
        const QRect target = lit ? QRect(places[i].enlarged, QSize(10, 10)) : QRect(places[i].normal, QSize(8, 8));
        painter.drawImage(target, dot);
    }
}

void StopDialog::closeEvent(QCloseEvent *event)
{
    // The recorder decides, after asking, whether the dialog goes.
    event->ignore();
    emit closeStop();
}

void StopDialog::reject()
{
    // Escape would hide the dialog while the captures go on, and could end the program with it.
    emit closeStop();
}
