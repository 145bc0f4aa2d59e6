#pragma once

#include <QString>

// The screen-capture filter remembers a region of its own; its values are removed before every recording
// so that the filter always delivers the whole screen and the crop filter alone selects the region.
namespace Registry {

// Removes "start_x", "start_y", "capture_width" and "capture_height" from the native settings store at
// the given location and leaves everything else in it.
void clean(const QString &store);

// The same for this platform's store of the filter.
void clean();

} // namespace Registry
