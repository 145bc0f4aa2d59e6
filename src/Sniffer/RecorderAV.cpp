#include "Sniffer.h"

#include "DataFolder.h"
#include "MessageIds.h"
#include "Platform.h"
#include "RecordingCopy.h"
#include "Trace.h"
#include "ui_Options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

void Sniffer::runRecorderAV()
{
    trace() << "runRecorderAV"
            << ":"
            << "Ok";
    if (Platform::isOlderThanNt52()) {
        const QString blanks(29, QLatin1Char(' '));
        QMessageBox::warning(this,
                             QStringLiteral("SC Recorder requires Windows XP Professional x64 Edition (operating "
                                            "system version 5.2) or newer"),
                             QStringLiteral("This SC Recorder Module requires Windows XP Professional x64 Edition "
                                            "(operating system version 5.2) or newer.")
                                 + blanks + QStringLiteral("<br><br>") + blanks
                                 + QStringLiteral("It appears that you have an older OS, therefore, it will not run "
                                                  "on your machine."),
                             QMessageBox::Ok);
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
    QMessageBox::critical(this, QStringLiteral("AV Recorder"),
                          description + QStringLiteral("<hr>") + QString::number(code), QMessageBox::Ok);
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
    composeDownloadPath();
    const QString oldFile = QDir::toNativeSeparators(source);
    const QString newFile = QDir::toNativeSeparators(downloadPath + QLatin1Char('.') + targetExtension);
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

    if (RecordingCopy::needsConversion(oldFile, targetExtension)) {
        trace() << "Will convert";
        progressBarStart(800, true);
        downloader->formatConverting(oldFile, newFile, Downloader::FromRecorder, chosenReplace);
        return;
    }

    trace() << "Saving without any convertion";
    const RecordingCopy::Outcome outcome = RecordingCopy::copy(
        oldFile, newFile, { lastRecording.videoFile, lastRecording.audioFile, lastRecording.resultFile });
    if (outcome.result == RecordingCopy::Result::Copied) {
        trace() << "remove temp files";
        postDownload();
        return;
    }
    traceError() << "File " + newFile + "cannot be created" << outcome.reason;
    const QString style = styleSheet();
    setStyleSheet(QString());
    QMessageBox::critical(this, QStringLiteral("Processing error:"),
                          RecordingCopy::failureText(newFile, oldFile, outcome.reason), QMessageBox::Ok);
    setStyleSheet(style);
}
