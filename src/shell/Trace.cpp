#include "Trace.h"

QDebug trace(std::source_location where)
{
    QDebug stream = qDebug();
    stream << where.file_name() << where.line();
    return stream;
}

QDebug traceError(std::source_location where)
{
    QDebug stream = qCritical();
    stream << "!!! ERROR: " << where.file_name() << where.line();
    return stream;
}
