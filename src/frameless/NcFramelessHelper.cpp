#include "NcFramelessHelper.h"

#include "NcFramelessHelperPrivate.h"

#include <QEvent>
#include <QWidget>

namespace {

int sharedEdgeWidth = 5;

} // namespace

NcFramelessHelper::NcFramelessHelper(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<NcFramelessHelperPrivate>())
{ }

NcFramelessHelper::~NcFramelessHelper() = default;

void NcFramelessHelper::attachTo(QWidget *widget)
{
    if (d->widgets.contains(widget)) {
        return;
    }
    d->widgets.emplace(widget, std::make_unique<FramedWidgetState>(d.get(), widget));
    widget->installEventFilter(this);
    // A widget destroyed while attached must not be restored later.
    connect(widget, &QObject::destroyed, this, [this](QObject *gone) {
        if (const auto found = d->widgets.find(gone); found != d->widgets.end()) {
            found->second->forgetWidget();
            d->widgets.erase(found);
        }
    });
}

void NcFramelessHelper::detachFrom(QWidget *widget)
{
    const auto found = d->widgets.find(widget);
    if (found == d->widgets.end()) {
        return;
    }
    const std::unique_ptr<FramedWidgetState> state = std::move(found->second);
    d->widgets.erase(found);
    widget->removeEventFilter(this);
    disconnect(widget, &QObject::destroyed, this, nullptr);
}

void NcFramelessHelper::setMovable(bool movable)
{
    d->movable = movable;
}

bool NcFramelessHelper::isMovable() const
{
    return d->movable;
}

void NcFramelessHelper::setResizable(bool resizable)
{
    d->resizable = resizable;
}

bool NcFramelessHelper::isResizable() const
{
    return d->resizable;
}

void NcFramelessHelper::setMoveOutline(bool moveOutline)
{
    d->moveOutline = moveOutline;
    updateOutlines();
}

bool NcFramelessHelper::hasMoveOutline() const
{
    return d->moveOutline;
}

void NcFramelessHelper::setResizeOutline(bool resizeOutline)
{
    d->resizeOutline = resizeOutline;
    updateOutlines();
}

bool NcFramelessHelper::hasResizeOutline() const
{
    return d->resizeOutline;
}

void NcFramelessHelper::setEdgeWidth(int width)
{
    if (width >= 0) {
        sharedEdgeWidth = width;
    }
}

int NcFramelessHelper::edgeWidth()
{
    return sharedEdgeWidth;
}

bool NcFramelessHelper::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Leave:
    case QEvent::HoverMove:
        if (const auto found = d->widgets.find(watched); found != d->widgets.end()) {
            found->second->handleEvent(event);
        }
        break;
    default:
        break;
    }
    return false;
}

void NcFramelessHelper::updateOutlines()
{
    for (const auto &[widget, state] : d->widgets) {
        state->updateOutline();
    }
}
