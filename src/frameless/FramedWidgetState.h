#pragma once

#include "EdgeHit.h"

#include <QPoint>
#include <QRect>

#include <memory>

class QEvent;
class QMouseEvent;
class QRubberBand;
class QWidget;
struct NcFramelessHelperPrivate;

// What the frameless helper knows about one managed widget: made frameless on construction, restored on
// destruction.
class FramedWidgetState final
{
public:
    FramedWidgetState(NcFramelessHelperPrivate *owner, QWidget *widget);
    ~FramedWidgetState();
    FramedWidgetState(const FramedWidgetState &) = delete;
    FramedWidgetState &operator=(const FramedWidgetState &) = delete;

    void handleEvent(QEvent *event);
    // Creates or deletes the outline to match the helper's outline settings.
    void updateOutline();
    // The widget is going away: nothing may be restored on it any more.
    void forgetWidget();

private:
    void press(const QMouseEvent *event);
    void release(const QMouseEvent *event);
    void move(const QMouseEvent *event);
    void resize(const QPoint &global);
    void updateCursor(const QPoint &global);
    void unsetCursor();

    NcFramelessHelperPrivate *owner;
    std::unique_ptr<QRubberBand> outline;
    QWidget *widget;
    QPoint dragOffset;
    EdgeHit pressedHit;
    EdgeHit hoverHit;
    bool leftButtonDown = false;
    bool cursorChanged = false;
    Qt::WindowFlags savedWindowFlags;
};
