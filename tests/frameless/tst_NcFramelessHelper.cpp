#include "NcFramelessHelper.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

const QRect start(100, 100, 400, 300);

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(widget->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void press(QWidget *widget, const QPoint &global)
{
    sendMouse(widget, QEvent::MouseButtonPress, global, Qt::LeftButton, Qt::LeftButton);
}

void dragTo(QWidget *widget, const QPoint &global)
{
    sendMouse(widget, QEvent::MouseMove, global, Qt::NoButton, Qt::LeftButton);
}

void release(QWidget *widget, const QPoint &global)
{
    sendMouse(widget, QEvent::MouseButtonRelease, global, Qt::LeftButton, Qt::NoButton);
}

void hover(QWidget *widget, const QPoint &global)
{
    sendMouse(widget, QEvent::MouseMove, global, Qt::NoButton, Qt::NoButton);
}

void drag(QWidget *widget, const QPoint &from, const QPoint &to)
{
    press(widget, from);
    dragTo(widget, to);
    release(widget, to);
}

QRubberBand *visibleOutline()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *band = qobject_cast<QRubberBand *>(top); band && band->isVisible()) {
            return band;
        }
    }
    return nullptr;
}

} // namespace

class tst_NcFramelessHelper final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pressStartsResizeOrMove_data();
    void pressStartsResizeOrMove();
    void minimumSizeHolds_data();
    void minimumSizeHolds();
    void attachingTwiceManagesOnce();
    void moveOutlineMovesOnlyTheOutline();
    void resizeCursors_data();
    void resizeCursors();
    void widgetDestroyedWhileAttached_data();
    void widgetDestroyedWhileAttached();

private:
    void showWindow();

    std::unique_ptr<QWidget> window;
    std::unique_ptr<NcFramelessHelper> helper;
};

void tst_NcFramelessHelper::init()
{
    window = std::make_unique<QWidget>();
    window->setMinimumSize(200, 150);
    window->setGeometry(start);
    helper = std::make_unique<NcFramelessHelper>();
}

void tst_NcFramelessHelper::cleanup()
{
    helper.reset();
    window.reset();
}

void tst_NcFramelessHelper::showWindow()
{
    helper->attachTo(window.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->frameGeometry(), start);
}

void tst_NcFramelessHelper::pressStartsResizeOrMove_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("3 px inside the left edge resizes")
        << QPoint(103, 250) << QPoint(-30, 5) << QRect(73, 100, 427, 300);
    QTest::newRow("20 px inside the left edge moves") << QPoint(120, 250) << QPoint(-30, 5) << QRect(70, 105, 400, 300);
    QTest::newRow("right edge") << QPoint(498, 250) << QPoint(30, 5) << QRect(100, 100, 429, 300);
    QTest::newRow("top-left corner") << QPoint(102, 102) << QPoint(-10, -20) << QRect(92, 82, 408, 318);
    QTest::newRow("bottom-right corner") << QPoint(498, 398) << QPoint(10, 20) << QRect(100, 100, 409, 319);
}

void tst_NcFramelessHelper::pressStartsResizeOrMove()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, by);
    QFETCH(QRect, expected);
    showWindow();
    drag(window.get(), from, from + by);
    QCOMPARE(window->frameGeometry(), expected);
}

void tst_NcFramelessHelper::minimumSizeHolds_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("left edge past the minimum") << QPoint(102, 250) << QPoint(402, 250) << start;
    QTest::newRow("right edge past the minimum") << QPoint(498, 250) << QPoint(198, 250) << start;
    QTest::newRow("top edge past the minimum") << QPoint(300, 102) << QPoint(300, 352) << start;
    QTest::newRow("top-left corner, height only") << QPoint(102, 102) << QPoint(92, 352) << QRect(92, 100, 408, 300);
    QTest::newRow("bottom-right corner down to the minimum")
        << QPoint(498, 398) << QPoint(299, 249) << QRect(100, 100, 200, 150);
}

void tst_NcFramelessHelper::minimumSizeHolds()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, expected);
    showWindow();
    drag(window.get(), from, to);
    QCOMPARE(window->frameGeometry(), expected);
}

void tst_NcFramelessHelper::attachingTwiceManagesOnce()
{
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const Qt::WindowFlags original = window->windowFlags();
    helper->attachTo(window.get());
    showWindow();
    // A window without parent always keeps its window type.
    QCOMPARE(window->windowFlags(), Qt::Window | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);

    drag(window.get(), QPoint(300, 250), QPoint(310, 260));
    QCOMPARE(window->pos(), QPoint(110, 110));

    helper->detachFrom(window.get());
    QCOMPARE(window->windowFlags(), original);
    QVERIFY(window->isVisible());
    const QPoint before = window->pos();
    drag(window.get(), before + QPoint(200, 150), before + QPoint(250, 190));
    QCOMPARE(window->pos(), before);
}

void tst_NcFramelessHelper::moveOutlineMovesOnlyTheOutline()
{
    helper->setMoveOutline(true);
    showWindow();
    press(window.get(), QPoint(300, 250));
    dragTo(window.get(), QPoint(350, 290));
    QRubberBand *outline = visibleOutline();
    QVERIFY(outline);
    QCOMPARE(outline->geometry(), start.translated(50, 40));
    QCOMPARE(window->frameGeometry(), start);

    release(window.get(), QPoint(350, 290));
    QVERIFY(!visibleOutline());
    QCOMPARE(window->frameGeometry(), start.translated(50, 40));
}

void tst_NcFramelessHelper::resizeCursors_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<QPoint>("inside");
    QTest::addColumn<int>("expected");
    const int none = -1;
    QTest::newRow("left edge") << false << QPoint(2, 150) << int(Qt::SizeHorCursor);
    QTest::newRow("bottom edge") << false << QPoint(200, 298) << int(Qt::SizeVerCursor);
    QTest::newRow("top-left corner") << false << QPoint(2, 2) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right corner") << false << QPoint(398, 2) << int(Qt::SizeBDiagCursor);
    QTest::newRow("inside") << false << QPoint(200, 150) << none;
    QTest::newRow("maximised, left edge") << true << QPoint(2, 150) << none;
    QTest::newRow("maximised, corner") << true << QPoint(2, 2) << none;
}

void tst_NcFramelessHelper::resizeCursors()
{
    QFETCH(bool, maximised);
    QFETCH(QPoint, inside);
    QFETCH(int, expected);
    showWindow();
    if (maximised) {
        window->showMaximized();
        QTRY_VERIFY(window->frameGeometry() != start);
    }
    hover(window.get(), window->frameGeometry().topLeft() + inside);
    if (expected < 0) {
        QVERIFY(!window->testAttribute(Qt::WA_SetCursor));
    } else {
        QCOMPARE(int(window->cursor().shape()), expected);
    }
}

void tst_NcFramelessHelper::widgetDestroyedWhileAttached_data()
{
    QTest::addColumn<bool>("helperOwnedByWidget");
    QTest::newRow("separate helper") << false;
    QTest::newRow("helper owned by the widget") << true;
}

void tst_NcFramelessHelper::widgetDestroyedWhileAttached()
{
    QFETCH(bool, helperOwnedByWidget);
    NcFramelessHelper *attached = helperOwnedByWidget ? new NcFramelessHelper(window.get()) : helper.get();
    attached->setMoveOutline(true);
    attached->attachTo(window.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window.reset();
    helper.reset();
    QVERIFY(!visibleOutline());
}

QTEST_MAIN(tst_NcFramelessHelper)
#include "tst_NcFramelessHelper.moc"
