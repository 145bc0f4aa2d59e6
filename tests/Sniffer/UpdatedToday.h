#pragma once

#include "WindowFixture.h"

#include <QDate>

// Settings under which the window does not start its daily tool update: it ran today.
inline QByteArray updatedToday(const QByteArray &settings = WindowFixture::deliveredSettings())
{
    return settings + "\n[General]\nlast_update=" + QByteArray::number(QDate::currentDate().dayOfYear()) + '\n';
}
