#include "Sniffer.h"

#include "DataFolder.h"
#include "LeftoverRecording.h"
#include "MessageBox.h"
#include "MessageIds.h"
#include "Platform.h"
#include "RecordingCopy.h"
#include "RecordingName.h"
#include "SaveTargets.h"
#include "Trace.h"
#include "ui_Options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

void Sniffer::initRecorder()
{
    connect(downloader.get(), &Downloader::doneExtractAudio, this, [this] {
        // Runs after the completion box: the recording's conversion is saved, its captures can go.
        if (!recordingTarget.isEmpty() && QFileInfo(recordingTarget).size() > 0) {
            RecordingCopy::removeTemporaries(recordingSaved);
        }
        recordingTarget.clear();
    });
    connect(downloader.get(), &Downloader::hasError, this, [this] { recordingTarget.clear(); });
    offerUnsavedRecording();
}

void Sniffer::offerUnsavedRecording()
{

    auto *leftover
        = new LeftoverRecording(QCoreApplication::applicationDirPath(), dataFolderPath(QStringLiteral("temp")), this);
    connect(leftover, &LeftoverRecording::nothing, leftover, &QObject::deleteLater);
    connect(leftover, &LeftoverRecording::found, this, [this, leftover](const CaptureFiles &files) {
        leftover->deleteLater();
        // Only onto the start page: a recording or download the user began meanwhile goes first.
        if (recorder || recorderSaveMode || !isVisible() || layerHistory.value(layerHistory.size() - 1) != LayerMain) {
            return;
        }
        trace() << "initRecorder"
                << ":"
                << "unsaved recording" << files.resultFile;
        lastRecording = { files.audioFile,
                          files.videoFile,
                          files.resultFile,
                          lastRecording.geometry,
                          !files.resultFile.isEmpty(),
                          LeftoverRecording::partsOf(files) };
        postRecorderAV();
    });
    leftover->offer();
}

void Sniffer::runRecorderAV()
{
    trace() << "runRecorderAV"
            << ":"
            << "Ok";
    if (Platform::isOlderThanNt52()) {
        const QString blanks(29, QLatin1Char(' '));
        MessageBox::warning(this,
                            QStringLiteral("SC Recorder requires Windows XP Professional x64 Edition (operating "
                                           "system version 5.2) or newer"),
                            QStringLiteral("This SC Recorder Module requires Windows XP Professional x64 Edition "
                                           "(operating system version 5.2) or newer.")
                                + blanks + QStringLiteral("<br><br>") + blanks
                                + QStringLiteral("It appears that you have an older OS, therefore, it will not run "
                                                 "on your machine."));
        return;
    }
    // One recorder at a time; a second press while one is open only brings it back.
    if (recorder) {
        recorder->raise();
        return;
    }

    recorder = new AVRecorder(nullptr, QCoreApplication::applicationDirPath(), dataFolderPath(QStringLiteral("temp")));
    connect(recorder, qOverload<const QString &>(&AVRecorder::done), this,
            qOverload<const QString &>(&Sniffer::doneRecorderAV));
    connect(recorder, qOverload<AVRecorder::ResultingData>(&AVRecorder::done), this,
            qOverload<const AVRecorder::ResultingData &>(&Sniffer::doneRecorderAV));
    connect(recorder, &AVRecorder::close, this, &Sniffer::closeRecorderAV);
    connect(recorder, &AVRecorder::error, this, &Sniffer::errorRecorderAV);
    recorder->setChoices(RecorderChoices::read(settings()));
    connect(recorder, &AVRecorder::choicesChanged, this,
            [this](const RecorderChoices &choices) { choices.write(settings()); });
    hide();
    if (hasLastRecording) {
        recorder->startRecorder(lastRecording.geometry);
    } else {
        recorder->startRecorder();
    }
}

void Sniffer::doneRecorderAV(const AVRecorder::ResultingData &recording)
{
    lastRecording = recording;
    hasLastRecording = true;
    recordingTarget.clear();
    trace() << "doneRecorderAV"
            << ":"
            << "path"
            << ":" << recording.resultFile;
    retireRecorder();
    postRecorderAV();
}

void Sniffer::doneRecorderAV(const QString &path)
{
    trace() << "doneRecorderAV"
            << ":"
            << "path"
            << ":" << path;
    retireRecorder();
    postRecorderAV();
}

void Sniffer::postRecorderAV()
{
    recorderSaveMode = true;
    // A site download of audio alone leaves one button; a recording is saved as video or as audio.
    options->btnDownloadAudio->show();
    options->btnDownloadVideo->setIcon(QIcon(QStringLiteral(":/btnVideoDL")));
    show();
    showLayer(LayerOptions);
    options->inputTitle->setText(RecordingName::defaultName(SaveTargets::dialogFolder(
        options->selectPath->currentText(), Platform::standardFolder(Platform::Folder::Documents))));
}

void Sniffer::closeRecorderAV()
{
    trace() << "closeRecorderAV"
            << ":"
            << "Ok";
    retireRecorder();
    show();
}

void Sniffer::errorRecorderAV(int code, const QString &description)
{
    traceError() << "!!! ERROR: "
                 << "errorRecorderAV"
                 << ":"
                 << "code"
                 << ":" << code;
    traceError() << "!!! ERROR: "
                 << "errorRecorderAV"
                 << ":"
                 << "description"
                 << ":" << description;
    retireRecorder();
    MessageBox::critical(this, QStringLiteral("AV Recorder"),
                         description + QStringLiteral("<hr>") + QString::number(code));
    show();
}

void Sniffer::retireRecorder()
{
    // The recorder is reporting from inside its own signal.
    if (recorder) {
        recorder->deleteLater();
        recorder = nullptr;
    }
}

void Sniffer::saveRecorderAV(const QString &source)
{
    trace() << "saveRecorderAV"
            << ":"
            << "Ok";
    const QString oldFile = QDir::toNativeSeparators(source);
    // Exactly the name chosen in the save dialog.
    const QString newFile = QDir::toNativeSeparators(chosenFilePath);
    trace() << "saveRecorderAV"
            << ":"
            << "oldFile"
            << ":" << oldFile;
    trace() << "saveRecorderAV"
            << ":"
            << "newFile"
            << ":" << newFile;

    if (!RecordingCopy::hasRecording(oldFile)) {
        traceError() << "saveRecorderAV"
                     << ":"
                     << "no recording in" << oldFile;
        setErrorContext("saveRecorderAV");
        errorContext.last() = QStringLiteral("Files kept in ") + QDir::toNativeSeparators(QFileInfo(oldFile).path());
        showError(MessageIds::RecordingNotMade);
        return;
    }

    // The completion box names it.
    targetFilePath = newFile;
    // A recording whose picture and sound were never joined is saved part by part; only the part saved goes.
    recordingSaved = lastRecording.joined ? recordingFiles() : QStringList { source };
    if (RecordingCopy::needsConversion(oldFile, targetExtension)) {
        trace() << "Will convert";
        progressBarStart(800, true);
        recordingTarget = newFile;
        downloader->formatConverting(oldFile, newFile, Downloader::FromRecorder, chosenReplace);
        return;
    }

    trace() << "Saving without any convertion";
    const RecordingCopy::Outcome outcome = RecordingCopy::copy(oldFile, newFile, chosenReplace, recordingSaved);
    if (outcome.result == RecordingCopy::Result::Copied) {
        trace() << "remove temp files";
        postDownload();
        return;
    }
    traceError() << "File " + newFile + "cannot be created" << outcome.reason;
    MessageBox::critical(this, QStringLiteral("Processing error:"),
                         RecordingCopy::failureText(newFile, oldFile, outcome.reason));
}

bool Sniffer::discardRecording()
{
    const QStringList files = recordingFiles();
    if (std::none_of(files.cbegin(), files.cend(),
                     [](const QString &file) { return RecordingCopy::hasRecording(file); })) {
        return true;
    }
    enum { Discard, Keep };
    const qsizetype answer = MessageBox::choose(
        this, QMessageBox::Question, QStringLiteral("AV Recorder"),
        QStringLiteral("Discard this recording? It has not been saved."),
        { { QStringLiteral("Discard"), QMessageBox::DestructiveRole, QStringLiteral("discardRecording") },
          { QStringLiteral("Keep it"), QMessageBox::RejectRole, QString() } },
        Keep);
    if (answer != Discard) {
        return false;
    }
    removeRecording();
    return true;
}

void Sniffer::removeRecording()
{
    trace() << "removeRecording"
            << ":" << lastRecording.resultFile;
    RecordingCopy::removeTemporaries(recordingFiles());
}

QStringList Sniffer::recordingFiles() const
{
    return QStringList { lastRecording.videoFile, lastRecording.audioFile, lastRecording.resultFile }
    + lastRecording.temporaries;
}
