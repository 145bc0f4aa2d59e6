#include "Sniffer.h"

#include "MenuEntries.h"
#include "Trace.h"
#include "ui_Navigation.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

// Only the window's own methods may be named: inherited ones such as deleteLater or close would end
// a window that lives on main's stack.
bool isOwnMethodWithoutArguments(const QMetaObject &meta, const QString &name)
{
    const QByteArray signature = QMetaObject::normalizedSignature((name + QStringLiteral("()")).toUtf8().constData());
    return meta.indexOfMethod(signature.constData()) >= Sniffer::staticMetaObject.methodOffset();
}

} // namespace

void Sniffer::initClickHelp()
{
    trace() << "initClickHelp"
            << ":"
            << "OK";
    for (const MenuEntry &entry : MenuEntries::helpEntries(settingsLists)) {
        auto *action = new QAction(entry.caption, this);
        action->setStatusTip(entry.caption);
        helpLinks.append({ action, entry.target });
        connect(action, &QAction::triggered, this, &Sniffer::onClickHelpItem);
    }
}

void Sniffer::onClickHelp()
{
    trace() << "onClickHelp"
            << ":"
            << "OK";
    auto *menu = new QMenu(this);
    for (const MenuLink &link : std::as_const(helpLinks)) {
        menu->addAction(link.action);
    }
    // A fresh menu per opening; it goes once it is closed. The actions belong to the window.
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(navigation->btnHelp->mapToGlobal(QPoint(25, 15)));
}

void Sniffer::onClickHelpItem()
{
    trace() << "onClickHelpItem"
            << ":"
            << "OK";
    const auto link
        = std::find_if(helpLinks.cbegin(), helpLinks.cend(),
                       [action = sender()](const MenuLink &candidate) { return candidate.action == action; });
    if (link == helpLinks.cend()) {
        return;
    }
    const HelpTarget target = MenuEntries::interpretHelpTarget(link->target);
    switch (target.kind) {
    case HelpTarget::ShowCaption:
        QMessageBox::information(this, QStringLiteral("Help"), link->action->text(), QMessageBox::Ok);
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
