#include "Sniffer.h"

void Sniffer::setSaveFilePath() { }

void Sniffer::selectSavePath() { }

bool Sniffer::selectSaveFile()
{
    return false;
}

void Sniffer::saveDefaultFilePath() { }

void Sniffer::selectDefaultFilePath() { }
