#pragma once

#include <QDebug>

#include <source_location>

// Operation trace lines: "<source file> <line> <operation> : OK" on the debug channel, and failures on
// the critical channel behind "!!! ERROR: ". Callers stream the operation name and status after it.
QDebug trace(std::source_location where = std::source_location::current());
QDebug traceError(std::source_location where = std::source_location::current());
