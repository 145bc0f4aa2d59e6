#include "Sniffer.h"

#include "Trace.h"

void Sniffer::initClickHelp()
{
    trace() << "initClickHelp"
            << ":"
            << "OK";
}

void Sniffer::onClickHelp() { }

void Sniffer::onClickHelpItem() { }
