#include "AVRecorder.h"

#include "CaptureCommands.h"
#include "Grabbers.h"
#include "MessageBox.h"
#include "NcFramelessHelper.h"
#include "RecordingCopy.h"
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
#include <QProgressBar>
#include <QPushButton>
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
    // Hidden or closed, none of the recorder's windows ends the program: the main window comes back.
    setAttribute(Qt::WA_QuitOnClose, false);
    grabbers = new Grabbers(appDir, tempDir, this);
    // Queued: the answers may show a box, which must not run inside the converter's own signal.
    connect(
        grabbers, &Grabbers::failed, this,
        [this](Grabbers::Failure, const QString &message) { captureFailed(message); }, Qt::QueuedConnection);
    connect(
        grabbers, &Grabbers::interrupted, this,
        [this](Grabbers::Failure, const QString &message) { captureInterrupted(message); }, Qt::QueuedConnection);
    connect(grabbers, &Grabbers::stopped, this, &AVRecorder::capturesStopped, Qt::QueuedConnection);
    connect(grabbers, &Grabbers::merged, this, &AVRecorder::merged, Qt::QueuedConnection);

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
    const QRect frame = geometry();
    trace() << "clickButtonStart"
            << ":"
            << "output.geometry"
            << ":" << frame;
    const QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    // Only what is on the screen is recorded; the edges past it are cut off, never shifted in.
    const QRect visible = screen != nullptr ? CaptureCommands::visibleRegion(frame, screen->geometry())
                                            : frame.intersected({ 0, 0, screenWidth, screenHeight });
    if (visible.isEmpty()) {
        traceError() << "clickButtonStart"
                     << ":"
                     << "nothing of" << frame << "is on the screen";
        return;
    }
    if (visible != frame) {
        traceError() << "output.geometry" << frame << "recorded as" << visible;
        setGeometry(visible);
    }
    output.geometry = visible;
    trace() << "clickButtonStart"
            << ":"
            << "pos"
            << ":" << visible.topLeft();

    recording = true;
    hide();
    stopDialog->setWindowFlags(stopDialog->windowFlags() | Qt::WindowStaysOnTopHint);
    stopDialog->show();
    stopDialog->move(screenWidth - stopDialog->width() - 20, 10);
    grabVideo(visible.x(), visible.y());
    grabAudio();
}

void AVRecorder::clickButtonClose()
{
    stopDialog->hide();
    hide();
    if (!recording) {
        emit close();
        return;
    }
    // The captures stay on disk; close() follows once they have ended.
    if (ending == Ending::None) {
        ending = Ending::Close;
        grabbers->stop();
    }
}

void AVRecorder::stop()
{
    if (!recording || ending != Ending::None) {
        return;
    }
    ending = Ending::Keep;
    stopDialog->hide();
    showBusy();
    grabbers->stop();
}

void AVRecorder::cancel()
{
    if (!recording) {
        emit close();
        stopDialog->hide();
        return;
    }
    if (ending != Ending::None) {
        return;
    }
    enum { Keep, Discard, GoOn };
    const qsizetype answer = MessageBox::choose(
        stopDialog.get(), QMessageBox::Question, QStringLiteral("AV Recorder"),
        QStringLiteral("Keep what was recorded so far?"),
        { { QStringLiteral("Keep"), QMessageBox::AcceptRole, QStringLiteral("keepRecording") },
          { QStringLiteral("Discard"), QMessageBox::DestructiveRole, QStringLiteral("discardRecording") },
          { QStringLiteral("Go on recording"), QMessageBox::RejectRole, QStringLiteral("goOnRecording") } },
        GoOn);
    if (answer == Keep) {
        trace() << "cancel"
                << ":"
                << "keep";
        stop();
    } else if (answer == Discard) {
        trace() << "cancel"
                << ":"
                << "discard";
        discard();
    }
}

void AVRecorder::discard()
{
    if (!recording || ending != Ending::None) {
        return;
    }
    ending = Ending::Discard;
    stopDialog->hide();
    grabbers->stop();
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
    // Closed by the window system: the same as the close button, so the main window comes back.
    event->accept();
    if (isVisible()) {
        clickButtonClose();
    }
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
    const QMessageBox::StandardButton answer
        = MessageBox::ask(nullptr, QMessageBox::Warning, QStringLiteral("Monitors number: %1").arg(count),
                          QStringLiteral("It appears you computer is connected to more than one monitor.<br>In order "
                                         "for the SC Recorder to work correctly, you must have only one active "
                                         "monitor."),
                          QMessageBox::Ignore | QMessageBox::Abort, QMessageBox::Abort);
    if (answer == QMessageBox::Ignore) {
        trace() << "Ignore";
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
    grabbers->grabVideo(QRect(QPoint(x, y), output.geometry.size()));
}

void AVRecorder::grabAudio()
{
    grabbers->grabAudio();
}

void AVRecorder::showBusy()
{
    if (!busyWindow) {
        busyWindow = std::make_unique<QWidget>();
        busyWindow->setAttribute(Qt::WA_QuitOnClose, false);
        busyWindow->setWindowTitle(QStringLiteral("processing..."));
        auto *layout = new QVBoxLayout(busyWindow.get());
        auto *activity = new QProgressBar(busyWindow.get());
        activity->setRange(0, 0);
        layout->addWidget(activity);
    }
    busyWindow->show();
}

void AVRecorder::capturesStopped()
{
    switch (ending) {
    case Ending::Keep:
        mergeAudioVideo();
        return;
    case Ending::Discard:
        removeFiles();
        [[fallthrough]];
    case Ending::Close:
    case Ending::None:
        recording = false;
        emit close();
        return;
    }
}

void AVRecorder::mergeAudioVideo()
{
    showBusy();
    grabbers->mergeAudioVideo();
}

void AVRecorder::merged(bool ok)
{
    recording = false;
    if (busyWindow) {
        busyWindow->hide();
    }
    const CaptureFiles files = grabbers->files();
    if (!ok) {
        traceError() << "mergeAudioVideo"
                     << ":" << grabbers->failureDetail();
        QFile::remove(files.resultFile);
        if (!RecordingCopy::hasRecording(files.videoFile)) {
            removeFiles();
            tell(QStringLiteral("Nothing was recorded.\n") + grabbers->failureDetail());
            emit close();
            return;
        }
        // The picture is worth more than nothing: it is offered alone.
        warnings << QStringLiteral("Picture and sound could not be joined, so the picture is offered without "
                                   "sound: ")
                + grabbers->failureDetail();
    }
    warnings += grabbers->stopProblems();
    if (!warnings.isEmpty()) {
        tell(warnings.join(QLatin1Char('\n')));
    }
    finishRecording();
}

void AVRecorder::finishRecording()
{
    const CaptureFiles files = grabbers->files();
    output.audioFile = files.audioFile;
    output.videoFile = files.videoFile;
    output.resultFile = RecordingCopy::hasRecording(files.resultFile) ? files.resultFile : files.videoFile;
    emit done(output);
    stopDialog->hide();
    hide();
}

void AVRecorder::captureInterrupted(const QString &message)
{
    if (!recording) {
        return;
    }
    warnings.prepend(message + QStringLiteral("\nWhat was recorded is kept."));
    if (ending == Ending::None || ending == Ending::Keep) {
        ending = Ending::Keep;
        stopDialog->hide();
        mergeAudioVideo();
        return;
    }
    capturesStopped();
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
    if (ending != Ending::Discard && ending != Ending::Close) {
        tell(message);
    }
    emit close();
}

void AVRecorder::removeFiles()
{
    const CaptureFiles files = grabbers->files();
    for (const QString &file : { files.videoFile, files.audioFile, files.resultFile }) {
        QFile::remove(file);
    }
}

void AVRecorder::tell(const QString &text)
{
    // No parent: the recorder and its stop dialog are hidden by now.
    MessageBox::warning(nullptr, QStringLiteral("AV Recorder"), text);
}
