#include "Sniffer.h"

#include "MenuEntries.h"
#include "Trace.h"
#include "ui_Navigation.h"

#include <QDesktopServices>
#include <QUrl>

void Sniffer::initClickDownloadOS()
{
    trace() << "initClickDownloadOS"
            << ":"
            << "OK";
    addMenuLinks(siteLinks, MenuEntries::siteEntries(settingsLists), &Sniffer::onClickDownloadOSItem);
    connect(this, &QWidget::customContextMenuRequested, this, &Sniffer::onRightClickDownloadOS);
}

void Sniffer::onRightClickDownloadOS(QPoint position)
{
    // The press arrives in the window's coordinates; the button sits inside nested pages.
    QPushButton *button = navigation->btnDownloaderOS;
    const QRect buttonArea(button->mapTo(this, QPoint(0, 0)), button->size());
    if (!button->isVisible() || !buttonArea.contains(position)) {
        return;
    }
    trace() << "onRightClickDownloadOS"
            << ":"
            << "OK";
    popUpMenu(siteLinks, button->mapToGlobal(position - buttonArea.topLeft()));
}

void Sniffer::onClickDownloadOSItem()
{
    trace() << "onClickDownloadOSItem"
            << ":"
            << "OK";
    if (const MenuLink *link = senderLink(siteLinks)) {
        QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + link->target));
    }
    navigation->btnDownloaderOS->click();
}
