#pragma once

#include <QPoint>
#include <QRect>

// Which edges and corners of a window a global position lies on, within the edge width.
struct EdgeHit
{
    bool anySide = false;
    bool leftSide = false;
    bool rightSide = false;
    bool topSide = false;
    bool bottomSide = false;
    bool topLeftCorner = false;
    bool bottomLeftCorner = false;
    bool topRightCorner = false;
    bool bottomRightCorner = false;

    void reset();
    void classify(const QRect &frame, const QPoint &global, int edgeWidth);
};
