#pragma once

#include <QObject>

#include <memory>

class QWidget;
struct NcFramelessHelperPrivate;

// Makes top-level widgets frameless and lets the user move them by dragging their inside and resize them
// by dragging their edges, purely as an event filter: the widgets need no code of their own and still
// receive every event.
class NcFramelessHelper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NcFramelessHelper)

public:
    explicit NcFramelessHelper(QObject *parent = nullptr);
    ~NcFramelessHelper() override;

    // Attaching a widget that is already managed does nothing.
    void attachTo(QWidget *widget);
    void detachFrom(QWidget *widget);

    void setMovable(bool movable);
    bool isMovable() const;
    void setResizable(bool resizable);
    bool isResizable() const;
    void setMoveOutline(bool moveOutline);
    bool hasMoveOutline() const;
    void setResizeOutline(bool resizeOutline);
    bool hasResizeOutline() const;

    // Shared by every helper of the process; a negative width is ignored.
    static void setEdgeWidth(int width);
    static int edgeWidth();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateOutlines();

    std::unique_ptr<NcFramelessHelperPrivate> d;
};
