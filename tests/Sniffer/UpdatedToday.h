#pragma once

#include "WindowFixture.h"

#include <QDate>

// Settings under which the window does not start its daily tool update: it ran today.
inline QByteArray updatedToday(const QByteArray &settings = WindowFixture::deliveredSettings())
{
    return settings + "\n[General]\nlast_update=" + QByteArray::number(QDate::currentDate().dayOfYear()) + '\n';
}

// The settings of a window in other-sites mode that takes the local server's pages, updated today.
inline QByteArray localSiteSettings()
{
    QByteArray settings = WindowFixture::deliveredSettings();
    settings.replace("[os_urls]\n", "[os_urls]\n0=127.0.0.1\n");
    return updatedToday(settings);
}
