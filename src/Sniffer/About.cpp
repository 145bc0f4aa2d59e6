#include "Sniffer.h"

#include "ui_DialogAbout.h"

void Sniffer::showAboutDialog() { }

void Sniffer::closeAboutDialog() { }
