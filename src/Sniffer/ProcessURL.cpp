#include "Sniffer.h"

#include "Trace.h"
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
