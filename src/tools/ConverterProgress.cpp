#include "ConverterProgress.h"

QStringList ConverterProgress::arguments()
{
    return { QStringLiteral("-progress"), QStringLiteral("pipe:1"), QStringLiteral("-nostats") };
}

bool ConverterProgress::read(QByteArray &pending)
{
    qsizetype end = -1;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QByteArray line = pending.left(end).trimmed();
        pending.remove(0, end + 1);
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1).trimmed();
        bool number = false;
        if (key == "out_time_us") {
            const qint64 microseconds = value.toLongLong(&number);
            if (number) {
                secondsDone = double(qMax<qint64>(microseconds, 0)) / 1e6;
            }
        } else if (key == "total_size") {
            const qint64 bytes = value.toLongLong(&number);
            if (number) {
                bytesWritten = bytes;
            }
        } else if (key == "speed") {
            const double factor = value.chopped(value.endsWith('x') ? 1 : 0).toDouble(&number);
            speed = number ? factor : 0;
        } else if (key == "progress") {
            ended = value == "end";
            return true;
        }
    }
    return false;
}
