#include "Sniffer.h"

#include "Trace.h"

void Sniffer::initClickDownloadOS()
{
    trace() << "initClickDownloadOS"
            << ":"
            << "OK";
}

void Sniffer::onRightClickDownloadOS(QPoint position)
{
    Q_UNUSED(position);
}

void Sniffer::onClickDownloadOSItem() { }
