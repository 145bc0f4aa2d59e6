#include "ToolOutput.h"

QString toolText(const QByteArray &output)
{
    const qsizetype nul = output.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? output : output.left(nul)).trimmed();
}

QStringList toolLines(const QByteArray &output)
{
    QString text = toolText(output);
    text.remove(QLatin1Char('\r'));
    if (text.isEmpty()) {
        return {};
    }
    return text.split(QLatin1Char('\n'));
}
