#pragma once

#include <QtGlobal>

#include <string_view>

// The first position p in [begin, end) where marker starts and ends within the range (p + size <= end), or end
// when there is none. Runs on every captured byte, so it filters 16 start positions at a time by the marker's
// first and last bytes where the processor allows.
const uchar *findMarker(const uchar *begin, const uchar *end, std::string_view marker);
