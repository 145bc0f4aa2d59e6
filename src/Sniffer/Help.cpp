#include "Sniffer.h"

#include "MenuEntries.h"
#include "MessageBox.h"
#include "Trace.h"
#include "ui_Navigation.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

#include <algorithm>

namespace {

// Only the window's own methods may be named: inherited ones such as deleteLater or close would end
// a window that lives on main's stack.
bool isOwnMethodWithoutArguments(const QMetaObject &meta, const QString &name)
{
    const QByteArray signature = QMetaObject::normalizedSignature((name + QStringLiteral("()")).toUtf8().constData());
    return meta.indexOfMethod(signature.constData()) >= Sniffer::staticMetaObject.methodOffset();
}

} // namespace

void Sniffer::addMenuLinks(QList<MenuLink> &links, const QList<MenuEntry> &entries, void (Sniffer::*onTriggered)())
{
    for (const MenuEntry &entry : entries) {
        auto *action = new QAction(entry.caption, this);
        action->setStatusTip(entry.caption);
        links.append({ action, entry.target });
        connect(action, &QAction::triggered, this, onTriggered);
    }
}

void Sniffer::popUpMenu(const QList<MenuLink> &links, const QPoint &globalPosition)
{
    auto *menu = new QMenu(this);
    for (const MenuLink &link : links) {
        menu->addAction(link.action);
    }
    // A fresh menu per opening; it goes once it is closed. The actions belong to the window.
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(globalPosition);
}

const Sniffer::MenuLink *Sniffer::senderLink(const QList<MenuLink> &links) const
{
    const auto link = std::find_if(links.cbegin(), links.cend(), [action = sender()](const MenuLink &candidate) {
        return candidate.action == action;
    });
    return link == links.cend() ? nullptr : &*link;
}

void Sniffer::initClickHelp()
{
    trace() << "initClickHelp"
            << ":"
            << "OK";
    addMenuLinks(helpLinks, MenuEntries::helpEntries(settingsLists), &Sniffer::onClickHelpItem);
}

void Sniffer::onClickHelp()
{
    trace() << "onClickHelp"
            << ":"
            << "OK";
    popUpMenu(helpLinks, navigation->btnHelp->mapToGlobal(QPoint(25, 15)));
}

void Sniffer::onClickHelpItem()
{
    trace() << "onClickHelpItem"
            << ":"
            << "OK";
    const MenuLink *link = senderLink(helpLinks);
    if (link == nullptr) {
        return;
    }
    const HelpTarget target = MenuEntries::interpretHelpTarget(link->target);
    switch (target.kind) {
    case HelpTarget::ShowCaption:
        MessageBox::information(this, QStringLiteral("Help"), link->action->text());
        break;
    case HelpTarget::OpenUrl:
        QDesktopServices::openUrl(QUrl(target.value));
        break;
    case HelpTarget::InvokeMethod:
        if (!isOwnMethodWithoutArguments(*metaObject(), target.value)
            || !QMetaObject::invokeMethod(this, target.value.toUtf8().constData(), Qt::DirectConnection)) {
            traceError() << "onClickHelpItem"
                         << "no method of the window named" << target.value;
        }
        break;
    }
}
