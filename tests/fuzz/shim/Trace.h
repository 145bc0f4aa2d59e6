#pragma once

// The fuzz build's stand-in for the program's log helper: clang 14 has no std::source_location, and the fuzzer
// throws log lines away.
#include <QDebug>

inline QDebug trace()
{
    return qDebug();
}

inline QDebug traceError()
{
    return qCritical();
}
