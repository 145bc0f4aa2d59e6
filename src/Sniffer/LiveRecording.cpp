#include "Sniffer.h"

#include "CYouTubeDownloadDlg.h"
#include "LiveJob.h"
#include "MessageBox.h"
#include "Program.h"
#include "Trace.h"

void Sniffer::recordLiveStream()
{
    const std::optional<StreamSave::Job> job
        = LiveJob::make(offeredFormats, chosenFormat(), chosenFilePath, chosenReplace);
    if (!job) {
        MessageBox::critical(this, Program::name, tr("The site names no address of its live stream to record."));
        return;
    }
    trace() << "recordLiveStream"
            << ":" << chosenFilePath;
    // The dialog tells of a failure itself; a stopped recording is kept.
    CYouTubeDownloadDlg dialog(this);
    dialog.beginStreamSave(*job);
    if (dialog.exec() == 1) {
        targetFilePath = chosenFilePath;
        postDownload();
    }
}
