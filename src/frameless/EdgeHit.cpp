#include "EdgeHit.h"

void EdgeHit::reset()
{
    *this = EdgeHit {};
}

void EdgeHit::classify(const QRect &frame, const QPoint &global, int edgeWidth)
{
    const int left = frame.x();
    const int top = frame.y();
    const int right = left + frame.width();
    const int bottom = top + frame.height();
    const int x = global.x();
    const int y = global.y();

    leftSide = left <= x && x <= left + edgeWidth;
    rightSide = right - edgeWidth <= x && x <= right;
    topSide = top <= y && y <= top + edgeWidth;
    bottomSide = bottom - edgeWidth <= y && y <= bottom;
    topLeftCorner = leftSide && topSide;
    bottomLeftCorner = leftSide && bottomSide;
    topRightCorner = rightSide && topSide;
    bottomRightCorner = rightSide && bottomSide;
    anySide = leftSide || rightSide || topSide || bottomSide;
}
