#include "WindowTitle.h"

#include "Program.h"

#include <QStringList>

QString composeWindowTitle(const QString &toolVersion)
{
    QStringList parts { Program::name, QLatin1Char('(') + toolVersion + QLatin1Char(')') };
    if (parts.last().size() <= 6) {
        parts.append(QLatin1Char('(') + Program::version + QLatin1Char(')'));
    }
    return parts.join(QLatin1Char(' '));
}
