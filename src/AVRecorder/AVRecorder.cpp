#include "AVRecorder.h"

#include "CaptureCommands.h"
#include "Grabbers.h"
#include "MessageBox.h"
#include "NcFramelessHelper.h"
#include "RecordingCopy.h"
#include "Registry.h"
#include "StopDialog.h"
#include "ToolProcess.h"
#include "Trace.h"
#include "ui_AVRecorder.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

constexpr int RecorderWidth = 481;
constexpr int RecorderHeight = 179;
constexpr double RecorderOpacity = 0.53;
// Below this many minutes of room left in the temporary folder the user is asked before recording.
constexpr qint64 FewMinutes = 5;
constexpr int StatusIntervalMsecs = 500;
constexpr int FrameRates[] = { 15, 30, 60 };

} // namespace

AVRecorder::AVRecorder(QWidget *parent, const QString &appDir, const QString &tempDir)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AVRecorder>())
    , framelessHelper(new NcFramelessHelper(this))
    , picker(new ToolProcess(this))
    , tempFolder(tempDir)
    , statusTimer(new QTimer(this))
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
    connect(grabbers, &Grabbers::paused, this, [this] {
        stopDialog->setPaused(true);
        showStatus();
    });
    connect(grabbers, &Grabbers::soundLost, this, [this](const QString &message) {
        // No box while recording: it would be in the picture. The dialog says it, the end of the recording again.
        warnings << message;
        stopDialog->setToolTip(message);
        showStatus();
    });
    statusTimer->setInterval(StatusIntervalMsecs);
    connect(statusTimer, &QTimer::timeout, this, &AVRecorder::showStatus);

    stopDialog = std::make_unique<StopDialog>();
    stopDialog->hide();
    connect(stopDialog.get(), &StopDialog::stop, this, &AVRecorder::stop);
    connect(stopDialog.get(), &StopDialog::closeStop, this, &AVRecorder::cancel);
    connect(stopDialog.get(), &StopDialog::pause, this, &AVRecorder::pause);
    connect(stopDialog.get(), &StopDialog::resume, this, &AVRecorder::resume);
    connect(ui->pushButtonWholeScreen, &QPushButton::clicked, this, &AVRecorder::clickButtonWholeScreen);
    connect(ui->pushButtonPickWindow, &QPushButton::clicked, this, &AVRecorder::clickButtonPickWindow);
    for (QComboBox *choice : { ui->comboSound, ui->comboFrameRate, ui->comboQuality }) {
        connect(choice, &QComboBox::activated, this, [this] { emit choicesChanged(choices()); });
    }
    ui->comboFrameRate->setCurrentIndex(1);
    ui->comboQuality->setCurrentIndex(int(RecorderChoices::Quality::High));
    connect(picker, &ToolProcess::ended, this, [this](ToolProcess::End how, int exitCode) {
        const QRect picked = CaptureCommands::pickedWindow(picker->readOutput());
        if (how != ToolProcess::End::Exited || exitCode != 0 || picked.isNull()) {
            traceError() << "pickWindow"
                         << ":" << picker->errorLine();
        } else {
            frame(picked);
        }
        show();
    });
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

void AVRecorder::setChoices(const RecorderChoices &chosen)
{
    ui->comboSound->setCurrentIndex(int(chosen.sound));
    const auto rate = std::find(std::begin(FrameRates), std::end(FrameRates), chosen.frameRate);
    ui->comboFrameRate->setCurrentIndex(rate != std::end(FrameRates) ? int(rate - std::begin(FrameRates)) : 1);
    ui->comboQuality->setCurrentIndex(int(chosen.quality));
}

RecorderChoices AVRecorder::choices() const
{
    RecorderChoices chosen;
    chosen.sound = RecorderChoices::Sound(ui->comboSound->currentIndex());
    chosen.frameRate = FrameRates[qBound(0, ui->comboFrameRate->currentIndex(), 2)];
    chosen.quality = RecorderChoices::Quality(ui->comboQuality->currentIndex());
    return chosen;
}

void AVRecorder::clickButtonWholeScreen()
{
    const QScreen *on = QGuiApplication::screenAt(geometry().center());
    if (on == nullptr) {
        on = QGuiApplication::primaryScreen();
    }
    if (on != nullptr) {
        frame(on->geometry());
    }
}

void AVRecorder::clickButtonPickWindow()
{
    if (recording || picker->isRunning()) {
        return;
    }
    // The X window picker waits for a click and prints the clicked window's place; x11-utils brings it.
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
    if (program.isEmpty()) {
        tell(QStringLiteral("Picking a window needs the program xwininfo (package x11-utils)."));
        return;
    }
    hide();
    picker->start(program, {});
}

void AVRecorder::frame(const QRect &region)
{
    setGeometry(region);
    placeChildren();
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
    if (!roomToRecord(visible)) {
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
    QList<QRect> screens;
    for (const QScreen *each : QGuiApplication::screens()) {
        screens << each->geometry();
    }
    stopDialog->move(CaptureCommands::stopDialogPlace(visible, screens, stopDialog->frameGeometry().size()));
    grabbers->setChoices(choices());
    steady.start();
    clock.start(steady.elapsed());
    statusTimer->start();
    showStatus();
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

void AVRecorder::pause()
{
    if (!recording || ending != Ending::None || grabbers->isPaused()) {
        return;
    }
    clock.pause(steady.elapsed());
    grabbers->pause();
}

void AVRecorder::resume()
{
    if (!recording || ending != Ending::None || !grabbers->isPaused()) {
        return;
    }
    clock.resume(steady.elapsed());
    stopDialog->setPaused(false);
    grabbers->resume();
}

void AVRecorder::showStatus()
{
    qint64 bytes = 0;
    for (const QString &file : grabbers->allFiles()) {
        bytes += QFileInfo(file).size();
    }
    QString text = RecordingClock::status(clock.elapsed(steady.elapsed()), bytes, grabbers->isPaused());
    if (!warnings.isEmpty()) {
        text += QStringLiteral(" \u00b7 no sound");
    }
    stopDialog->setStatus(text);
}

bool AVRecorder::roomToRecord(const QRect &region)
{
    const QStorageInfo disk(tempFolder);
    const qint64 perMinute = choices().bytesPerMinute(region.size());
    const qint64 minutes = RecordingClock::minutesFitting(disk.bytesAvailable(), perMinute);
    if (!disk.isValid() || minutes >= FewMinutes) {
        return true;
    }
    trace() << "clickButtonStart"
            << ":"
            << "room for" << minutes << "minutes in" << tempFolder;
    return ask(
        QStringLiteral("Only about %1 minutes of recording fit on the disk of %2 (%3 free). The recording "
                       "stops when it is full.\nRecord anyway?")
            .arg(minutes)
            .arg(QDir::toNativeSeparators(tempFolder), QLocale::system().formattedDataSize(disk.bytesAvailable())),
        QStringLiteral("Record"));
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
    ui->pushButtonWholeScreen->move(6, h - ui->pushButtonWholeScreen->height() - 6);
    ui->pushButtonPickWindow->move(w - ui->pushButtonPickWindow->width() - 6,
                                   h - ui->pushButtonPickWindow->height() - 6);
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
    statusTimer->stop();
    if (busyWindow) {
        busyWindow->hide();
    }
    const CaptureFiles files = grabbers->files();
    output.joined = ok;
    if (!ok) {
        traceError() << "mergeAudioVideo"
                     << ":" << grabbers->failureDetail();
        QFile::remove(files.resultFile);
        const QStringList all = grabbers->allFiles();
        const bool anything = std::any_of(all.cbegin(), all.cend(),
                                          [](const QString &file) { return RecordingCopy::hasRecording(file); });
        if (!anything) {
            removeFiles();
            tell(QStringLiteral("Nothing was recorded.\n") + grabbers->failureDetail());
            emit close();
            return;
        }
        // Neither part is given up: each is offered and stays until saved, or until the recording is discarded.
        warnings << QStringLiteral("Picture and sound could not be joined (%1). Both are kept: Video saves the "
                                   "picture, Audio the sound, and each stays until it is saved or the recording "
                                   "is discarded.")
                        .arg(grabbers->failureDetail());
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
    output.resultFile = output.joined ? files.resultFile : QString();
    output.temporaries = grabbers->allFiles();
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
    for (const QString &file : grabbers->allFiles()) {
        QFile::remove(file);
    }
}

void AVRecorder::tell(const QString &text)
{
    // No parent: the recorder and its stop dialog are hidden by now.
    MessageBox::warning(nullptr, QStringLiteral("AV Recorder"), text);
}

bool AVRecorder::ask(const QString &text, const QString &yes)
{
    return MessageBox::choose(nullptr, QMessageBox::Warning, QStringLiteral("AV Recorder"), text,
                              { { yes, QMessageBox::AcceptRole, QStringLiteral("recordAnyway") },
                                { QStringLiteral("Cancel"), QMessageBox::RejectRole, QString() } },
                              1)
        == 0;
}
