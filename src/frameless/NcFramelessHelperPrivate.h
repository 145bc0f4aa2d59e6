#pragma once

#include "FramedWidgetState.h"

#include <memory>
#include <unordered_map>

class QObject;

struct NcFramelessHelperPrivate
{
    // Keyed by object so that events and destruction notices of any object can be looked up.
    std::unordered_map<const QObject *, std::unique_ptr<FramedWidgetState>> widgets;
    bool movable = true;
    bool resizable = true;
    bool resizeOutline = false;
    bool moveOutline = false;
};
