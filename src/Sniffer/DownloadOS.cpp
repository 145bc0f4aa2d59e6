#include "Sniffer.h"

#include "MenuEntries.h"
#include "Trace.h"
#include "ui_Navigation.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

#include <algorithm>
#include <utility>

void Sniffer::initClickDownloadOS()
{
    trace() << "initClickDownloadOS"
            << ":"
            << "OK";
    for (const MenuEntry &entry : MenuEntries::siteEntries(settingsLists)) {
        auto *action = new QAction(entry.caption, this);
        action->setStatusTip(entry.caption);
        siteLinks.append({ action, entry.target });
        connect(action, &QAction::triggered, this, &Sniffer::onClickDownloadOSItem);
    }
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
    auto *menu = new QMenu(this);
    for (const MenuLink &link : std::as_const(siteLinks)) {
        menu->addAction(link.action);
    }
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(button->mapToGlobal(position - buttonArea.topLeft()));
}

void Sniffer::onClickDownloadOSItem()
{
    trace() << "onClickDownloadOSItem"
            << ":"
            << "OK";
    const auto link
        = std::find_if(siteLinks.cbegin(), siteLinks.cend(),
                       [action = sender()](const MenuLink &candidate) { return candidate.action == action; });
    if (link != siteLinks.cend()) {
        QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + link->target));
    }
    navigation->btnDownloaderOS->click();
}
