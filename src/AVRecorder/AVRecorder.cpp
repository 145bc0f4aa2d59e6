#include "AVRecorder.h"

#include "Grabbers.h"
#include "NcFramelessHelper.h"
#include "Registry.h"
#include "StopDialog.h"
#include "Trace.h"
#include "ui_AVRecorder.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int RecorderWidth = 481;
constexpr int RecorderHeight = 179;
constexpr double RecorderOpacity = 0.53;

} // namespace

AVRecorder::AVRecorder(QWidget *parent, const QString &appDir, const QString &tempDir)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AVRecorder>())
    , framelessHelper(new NcFramelessHelper(this))
{
    ui->setupUi(this);
    trace() << "AVRecorder"
            << ":"
            << "---------------------------";
    QCoreApplication::addLibraryPath(appDir + QDir::separator() + QStringLiteral("plugins"));
    framelessHelper->attachTo(this);
    resize(RecorderWidth, RecorderHeight);
    setWindowOpacity(RecorderOpacity);
    setBackgroundColor(QStringLiteral("gray"));
    placeChildren();
    framelessHelper->attachTo(this);

    if (const QScreen *primary = QGuiApplication::primaryScreen()) {
        screenWidth = primary->size().width();
        screenHeight = primary->size().height();
    }
    grabbers = new Grabbers(appDir, tempDir, this);
    connect(grabbers, &Grabbers::failed, this,
            [this](Grabbers::Failure, const QString &message) { captureFailed(message); });

    stopDialog = std::make_unique<StopDialog>();
    stopDialog->hide();
    connect(stopDialog.get(), &StopDialog::stop, this, &AVRecorder::stop);
    connect(stopDialog.get(), &StopDialog::closeStop, this, &AVRecorder::cancel);
    connect(ui->pushButtonStart, &QPushButton::clicked, this, &AVRecorder::clickButtonStart);
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &AVRecorder::clickButtonClose);
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this);
    connect(shortcut, &QShortcut::activated, this, &AVRecorder::clickButtonStart);
}

AVRecorder::~AVRecorder()
{
    stopGrabber(Grabbers::Video);
    stopGrabber(Grabbers::Audio);
    stopDialog.reset();
    ui.reset();
    busyWindow.reset();
}

void AVRecorder::startRecorder()
{
    trace() << "startRecorder"
            << ":"
            << "Ok";
    if (!onMultiDesktopScreens()) {
        return;
    }
    cleanRegistry();
    show();
}

void AVRecorder::startRecorder(const QRect &region)
{
    trace() << "startRecorder"
            << ":"
            << "orig geometry"
            << ":" << geometry();
    trace() << "startRecorder"
            << ":"
            << "new geometry"
            << ":" << region;
    bool changed = false;
    if (region.size() != size()) {
        resize(region.size());
        changed = true;
    }
    if (region.topLeft() != pos()) {
        move(region.topLeft());
        changed = true;
    }
    if (changed) {
        placeChildren();
    }
    startRecorder();
}

void AVRecorder::clickButtonStart()
{
    if (recording) {
        return;
    }
    output.geometry = geometry();
    trace() << "clickButtonStart"
            << ":"
            << "output.geometry"
            << ":" << output.geometry;
    int x = output.geometry.left();
    int y = output.geometry.top();
    if (x < 0 || y < 0) {
        traceError() << "output.geometry" << output.geometry;
        // Moving the left or top edge keeps the right and bottom ones: the region shrinks.
        if (x < 0) {
            output.geometry.setLeft(0);
            x = 0;
        }
        if (y < 0) {
            output.geometry.setTop(0);
            y = 0;
        }
        setGeometry(output.geometry);
    }
    trace() << "clickButtonStart"
            << ":"
            << "pos"
            << ":" << QPoint(x, y);

    recording = true;
    hide();
    stopDialog->setWindowFlags(stopDialog->windowFlags() | Qt::WindowStaysOnTopHint);
    stopDialog->show();
    stopDialog->move(screenWidth - stopDialog->width() - 20, 10);
    grabVideo(x, y);
    grabAudio();
}

void AVRecorder::clickButtonClose()
{
    if (recording) {
        stopGrabber(Grabbers::Video);
        stopGrabber(Grabbers::Audio);
        recording = false;
    }
    emit close();
    stopDialog->hide();
    hide();
}

void AVRecorder::stop()
{
    if (!recording) {
        return;
    }
    stopGrabber(Grabbers::Video);
    stopGrabber(Grabbers::Audio);
    mergeAudioVideo();
    finishRecording();
}

void AVRecorder::cancel()
{
    if (recording) {
        stopGrabber(Grabbers::Video);
        stopGrabber(Grabbers::Audio);
        recording = false;
        const CaptureFiles files = grabbers->files();
        QFile::remove(files.videoFile);
        QFile::remove(files.audioFile);
        QFile::remove(files.resultFile);
    }
    emit close();
    stopDialog->hide();
}

void AVRecorder::mousePressEvent(QMouseEvent *) { }

void AVRecorder::mouseReleaseEvent(QMouseEvent *) { }

void AVRecorder::mouseMoveEvent(QMouseEvent *)
{
    placeChildren();
}

void AVRecorder::keyReleaseEvent(QKeyEvent *) { }

void AVRecorder::closeEvent(QCloseEvent *event)
{
    event->accept();
}

void AVRecorder::placeChildren()
{
    const int w = width();
    const int h = height();
    ui->pushButtonClose->move(w - 24, 0);
    ui->pushButtonStart->move(w / 2 - ui->pushButtonStart->width() / 2, (h - h / 2) + 50);
    ui->textEditHint->move(w / 2 - ui->textEditHint->width() / 2, (h - h / 2) - ui->textEditHint->height() / 2);
}

void AVRecorder::setBackgroundColor(const QString &colour)
{
    setStyleSheet(QStringLiteral("* { background-color: ") + colour + QStringLiteral("; }"));
}

bool AVRecorder::onMultiDesktopScreens()
{
    trace() << "onMultiDesktopScreens"
            << ":"
            << "Ok";
    const auto count = QGuiApplication::screens().size();
    if (count < 2) {
        return true;
    }
    setBackgroundColor(QStringLiteral("none"));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Monitors number: %1").arg(count),
                    QStringLiteral("It appears you computer is connected to more than one monitor.<br>In order for the "
                                   "SC Recorder to work correctly, you must have only one active monitor."),
                    QMessageBox::Ignore | QMessageBox::Abort);
    box.setDefaultButton(QMessageBox::Abort);
    if (box.exec() == QMessageBox::Ignore) {
        trace() << "Ignore";
        setBackgroundColor(QStringLiteral("gray"));
        return true;
    }
    trace() << "Cancel";
    clickButtonClose();
    return false;
}

void AVRecorder::cleanRegistry()
{
    trace() << "cleanRegistry"
            << ":"
            << "Ok";
    Registry::clean();
}

void AVRecorder::grabVideo(int x, int y)
{
    grabbers->grabVideo(QRect(x, y, width(), height()));
}

void AVRecorder::grabAudio()
{
    grabbers->grabAudio();
}

void AVRecorder::stopGrabber(int kind)
{
    if (grabbers != nullptr) {
        grabbers->stopGrabber(kind);
    }
}

void AVRecorder::mergeAudioVideo()
{
    if (!busyWindow) {
        busyWindow = std::make_unique<QWidget>();
        busyWindow->setWindowTitle(QStringLiteral("processing..."));
        auto *layout = new QVBoxLayout(busyWindow.get());
        auto *activity = new QProgressBar(busyWindow.get());
        activity->setRange(0, 0);
        layout->addWidget(activity);
    }
    busyWindow->show();
    if (!grabbers->mergeAudioVideo()) {
        traceError() << "mergeAudioVideo"
                     << ":" << grabbers->failureDetail();
    }
    recording = false;
    busyWindow->hide();
}

void AVRecorder::finishRecording()
{
    const CaptureFiles files = grabbers->files();
    output.audioFile = files.audioFile;
    output.videoFile = files.videoFile;
    output.resultFile = files.resultFile;
    emit done(output);
    stopDialog->hide();
    hide();
}

void AVRecorder::captureFailed(const QString &message)
{
    if (!recording) {
        return;
    }
    // Nothing is left running: give up the recording and tell the user what is missing. A capture that
    // never got going leaves empty files, which hold nothing worth keeping.
    recording = false;
    stopDialog->hide();
    hide();
    const CaptureFiles files = grabbers->files();
    for (const QString &file : { files.videoFile, files.audioFile, files.resultFile }) {
        if (QFileInfo(file).size() == 0) {
            QFile::remove(file);
        }
    }
    QMessageBox::warning(nullptr, QStringLiteral("AV Recorder"), message);
    emit close();
}
