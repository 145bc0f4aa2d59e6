#include "FramedWidgetState.h"

#include "NcFramelessHelper.h"
#include "NcFramelessHelperPrivate.h"

#include <QHoverEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWidget>

FramedWidgetState::FramedWidgetState(NcFramelessHelperPrivate *helper, QWidget *managed)
    : owner(helper)
    , widget(managed)
    , savedWindowFlags(managed->windowFlags())
{
    const bool visible = widget->isVisible();
    widget->setMouseTracking(true);
    widget->setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    widget->setAttribute(Qt::WA_Hover);
    updateOutline();
    // Changing the window flags hides the widget.
    widget->setVisible(visible);
}

FramedWidgetState::~FramedWidgetState()
{
    if (widget) {
        const bool visible = widget->isVisible();
        widget->setMouseTracking(false);
        widget->setWindowFlags(savedWindowFlags);
        widget->setAttribute(Qt::WA_Hover, false);
        widget->setVisible(visible);
    }
}

void FramedWidgetState::forgetWidget()
{
    widget = nullptr;
}

void FramedWidgetState::updateOutline()
{
    if ((owner->moveOutline || owner->resizeOutline) && !outline) {
        outline = std::make_unique<QRubberBand>(QRubberBand::Rectangle);
    } else if (!owner->moveOutline && !owner->resizeOutline) {
        outline.reset();
    }
}

void FramedWidgetState::handleEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        press(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonRelease:
        release(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseMove:
        move(static_cast<QMouseEvent *>(event));
        break;
    case QEvent::Leave:
        if (!leftButtonDown) {
            unsetCursor();
        }
        break;
    case QEvent::HoverMove:
        if (owner->resizable) {
            updateCursor(widget->mapToGlobal(static_cast<QHoverEvent *>(event)->position().toPoint()));
        }
        break;
    default:
        break;
    }
}

void FramedWidgetState::press(const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    leftButtonDown = true;
    const QRect frame = widget->frameGeometry();
    const QPoint global = event->globalPosition().toPoint();
    pressedHit.classify(frame, global, NcFramelessHelper::edgeWidth());
    dragOffset = global - frame.topLeft();
    if (outline && ((pressedHit.anySide && owner->resizeOutline) || (!pressedHit.anySide && owner->moveOutline))) {
        outline->setGeometry(frame);
        outline->show();
    }
}

void FramedWidgetState::release(const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    leftButtonDown = false;
    pressedHit.reset();
    if (outline && outline->isVisible()) {
        outline->hide();
        widget->setGeometry(outline->geometry());
    }
}

void FramedWidgetState::move(const QMouseEvent *event)
{
    const QPoint global = event->globalPosition().toPoint();
    if (leftButtonDown) {
        if (owner->resizable && pressedHit.anySide) {
            resize(global);
        } else if (owner->movable) {
            const QPoint topLeft = global - dragOffset;
            if (owner->moveOutline && outline) {
                outline->move(topLeft);
            } else {
                widget->move(topLeft);
            }
        }
    } else if (owner->resizable) {
        updateCursor(global);
    }
}

void FramedWidgetState::resize(const QPoint &global)
{
    const bool onOutline = owner->resizeOutline && outline;
    const QRect start = onOutline ? outline->frameGeometry() : widget->frameGeometry();
    int left = start.left();
    int top = start.top();
    int right = start.right();
    int bottom = start.bottom();

    if (pressedHit.topLeftCorner) {
        left = global.x();
        top = global.y();
    } else if (pressedHit.bottomLeftCorner) {
        left = global.x();
        bottom = global.y();
    } else if (pressedHit.topRightCorner) {
        right = global.x();
        top = global.y();
    } else if (pressedHit.bottomRightCorner) {
        right = global.x();
        bottom = global.y();
    } else if (pressedHit.leftSide) {
        left = global.x();
    } else if (pressedHit.rightSide) {
        right = global.x();
    } else if (pressedHit.topSide) {
        top = global.y();
    } else if (pressedHit.bottomSide) {
        bottom = global.y();
    }

    QRect target(QPoint(left, top), QPoint(right, bottom));
    if (!target.isValid()) {
        return;
    }
    // Put back the side being dragged so that the opposite side stays where it is.
    if (target.width() < widget->minimumWidth()) {
        if (left == start.left()) {
            target.setRight(start.right());
        } else {
            target.setLeft(start.left());
        }
    }
    if (target.height() < widget->minimumHeight()) {
        if (top == start.top()) {
            target.setBottom(start.bottom());
        } else {
            target.setTop(start.top());
        }
    }
    if (onOutline) {
        outline->setGeometry(target);
    } else {
        widget->setGeometry(target);
    }
}

void FramedWidgetState::updateCursor(const QPoint &global)
{
    if (widget->isFullScreen() || widget->isMaximized()) {
        if (cursorChanged) {
            unsetCursor();
        }
        return;
    }
    hoverHit.classify(widget->frameGeometry(), global, NcFramelessHelper::edgeWidth());
    if (hoverHit.topLeftCorner || hoverHit.bottomRightCorner) {
        widget->setCursor(Qt::SizeFDiagCursor);
    } else if (hoverHit.topRightCorner || hoverHit.bottomLeftCorner) {
        widget->setCursor(Qt::SizeBDiagCursor);
    } else if (hoverHit.leftSide || hoverHit.rightSide) {
        widget->setCursor(Qt::SizeHorCursor);
    } else if (hoverHit.topSide || hoverHit.bottomSide) {
        widget->setCursor(Qt::SizeVerCursor);
    } else {
        if (cursorChanged) {
            unsetCursor();
        }
        return;
    }
    cursorChanged = true;
}

void FramedWidgetState::unsetCursor()
{
    widget->unsetCursor();
    cursorChanged = false;
}
