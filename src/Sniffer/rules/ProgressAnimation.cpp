#include "ProgressAnimation.h"

namespace ProgressAnimation {

namespace {

constexpr int jumpFloor = 20;
constexpr int mostDots = 10;
constexpr int fewestDots = 1;

} // namespace

int nextValue(int value, int minimum, int maximum, unsigned int random)
{
    const int next = value + 1;
    if (next != maximum - 1) {
        return next;
    }
    const int floor = minimum + jumpFloor;
    const int span = maximum - floor;
    return span > 0 ? floor + static_cast<int>(random % static_cast<unsigned int>(span)) : next;
}

void Dots::step()
{
    if (growing) {
        ++count;
        if (count > mostDots) {
            growing = false;
        }
    } else {
        --count;
        if (count <= fewestDots) {
            growing = true;
        }
    }
}

} // namespace ProgressAnimation
