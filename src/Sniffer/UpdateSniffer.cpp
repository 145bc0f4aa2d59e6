#include "Sniffer.h"

#include "DownloadQueue.h"
#include "MessageBox.h"
#include "MessageIds.h"
#include "Program.h"
#include "ToolUpdate.h"
#include "Trace.h"
#include "UpdateVersion.h"
#include "ui_OldSniffer.h"

#include <QDate>
#include <QDesktopServices>
#include <QSettings>
#include <QUrl>

bool Sniffer::checkLastUpdateDate()
{
    const QString last = settings().value(SettingsKeys::LastUpdate).toString();
    const QString today = QString::number(QDate::currentDate().dayOfYear());
    trace() << "checkLastUpdateDate"
            << ":"
            << "date" << last << today;
    if (last == today) {
        return false;
    }
    settings().setValue(SettingsKeys::LastUpdate, today);
    settings().sync();
    return true;
}

void Sniffer::initToolUpdate()
{
    downloader->usePrivateCopy(
        dataFolder, QUrl(settingsLists.value(SettingsGroups::ToolRelease).value(0, ToolUpdate::defaultRelease)));
    connect(downloader.get(), &Downloader::systemToolKept, this, &Sniffer::systemToolKept);
}

void Sniffer::updateSniffer()
{
    startToolUpdate(true);
}

void Sniffer::startToolUpdate(bool asked)
{
    trace() << "updateSniffer"
            << ":"
            << "OK";
    // Replacing the tool under a running download could break it; the progress page stays as it is.
    if (downloader->isBusy() || downloadQueue().shownRow() >= 0) {
        MessageBox::information(this, Program::name,
                                tr("The site-download tool is busy. Update it once the download has finished."));
        return;
    }
    updateAsked = asked;
    showLayer(LayerUpdate);
    downloader->checkUpdates();
}

void Sniffer::systemToolKept()
{
    if (updateAsked) {
        onDownloaderError(Downloader::UpdateFailed);
        return;
    }
    // The daily update says it once; the same failure every day would only teach the user to ignore it.
    if (layerHistory.value(layerHistory.size() - 1) == LayerUpdate) {
        showLayer(LayerMain);
    }
    if (settings().value(SettingsKeys::SystemToolNoted, false).toBool()) {
        trace() << "systemToolKept"
                << "told before:" << downloader->lastToolMessage();
        return;
    }
    settings().setValue(SettingsKeys::SystemToolNoted, true);
    settings().sync();
    const QString version = downloader->systemToolVersion();
    const QString text
        = tr("Corvane 2 is using the yt-dlp installed on this system%1, which may be too old for the video site. "
             "A newer copy could not be fetched:\n\n%2\n\nUpdate yt-dlp with the package manager (for example "
             "sudo apt install --only-upgrade yt-dlp), or press Ctrl+U when you are online: Corvane 2 then "
             "fetches a current copy of its own. This note is shown only once.")
              .arg(version.isEmpty() ? QString() : tr(" (version %1)").arg(version), downloader->lastToolMessage());
    MessageBox::information(this, Program::name, text);
}

void Sniffer::postUpdateSniffer()
{
    const QString version = versionFromUpdateOutput(downloader->updateText());
    settings().setValue(SettingsKeys::LastUpdateVersion, version);
    settings().sync();
    updateWindowTitle(version);
    // The update leaves its own page only; the user may have gone on to another.
    if (layerHistory.value(layerHistory.size() - 1) == LayerUpdate) {
        showLayer(LayerMain);
    }
    QStringList text { Program::name };
    if (version != QStringLiteral("last")) {
        text.append(version);
    }
    text.append(QStringLiteral("is up-to-date"));
    MessageBox::information(this, Program::name, text.join(QLatin1Char(' ')));
}

void Sniffer::testSniffer()
{
    trace() << "testSniffer"
            << ":"
            << "OK";
    const QString address = settingsLists.value(SettingsGroups::TestSniffer).value(0);
    if (address.isEmpty()) {
        setErrorContext("testSniffer");
        traceError() << "testSniffer"
                     << ":"
                     << "no test address";
        showError(MessageIds::NoSnifferTestPage);
        return;
    }
    if (oldSniffer->stackedWidget->currentIndex() == 0) {
        pageHeights.setPageHeight(LayerPlan::Page::Sniffer, 320);
        oldSniffer->stackedWidget->setCurrentIndex(1);
    }
    showOldSniffer();
    QDesktopServices::openUrl(QUrl(address));
}
