#include "Sniffer.h"

#include "Downloader.h"
#include "MessageIds.h"
#include "Trace.h"
#include "UrlCheck.h"
#include "ui_InsertURL.h"
#include "ui_Navigation.h"

void Sniffer::showURLField()
{
    trace() << "showURLField"
            << ":"
            << "OK";
    if (sender() == navigation->btnDownloaderYT) {
        siteListName = SettingsGroups::VideoSiteUrls;
        siteKind = 2;
    } else {
        siteListName = SettingsGroups::OtherSiteUrls;
        siteKind = 1;
    }
    insertUrl->inputURL->clear();
    // Brings back the hint picture that focusing the field took away.
    insertUrl->inputURL->setStyleSheet(widgetStyles.value(insertUrl->inputURL).join(QLatin1Char(';')));
    urlFieldShown = true;
    showLayer(LayerInsertUrl);
}

void Sniffer::processURL()
{
    const QString text = insertUrl->inputURL->text();
    trace() << "processURL"
            << ":"
            << "user URL" << UrlCheck::addressPart(text);
    UrlCheck::Outcome outcome = UrlCheck(siteListName, siteKind, settingsLists).check(text);
    if (outcome.error != 0) {
        setErrorContext("processURL");
        showError(outcome.error);
        return;
    }
    if (!downloader->setUrl(&outcome.url)) {
        setErrorContext("processURL");
        showError(MessageIds::UnsupportedAddress);
        return;
    }
    startProgress(100);
    clearFormatList();
    optionsDropped = false;
    downloader->requestOptions();
}

void Sniffer::setErrorContext(const char *operation, std::source_location where)
{
    errorContext = { QString::fromUtf8(where.file_name()), QString::number(where.line()),
                     QString::fromLatin1(operation), QString() };
}
