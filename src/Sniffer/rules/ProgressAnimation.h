#pragma once

#include <QString>

// The progress page's animations for work that reports no progress of its own.
namespace ProgressAnimation {

// The creeping bar's next value: one step on, except that the step onto maximum - 1 jumps back to a
// point from minimum + 20 to maximum - 1 chosen by random, so the bar never looks finished.
int nextValue(int value, int minimum, int maximum, unsigned int random);

// The row of dots after "converting ": grows to 11, shrinks to 1, and grows again.
struct Dots
{
    int count = 3;
    bool growing = true;

    void step();
    QString text() const { return QString(count, QLatin1Char('.')); }
};

} // namespace ProgressAnimation
