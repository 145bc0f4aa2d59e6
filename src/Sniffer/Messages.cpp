#include "Sniffer.h"

void Sniffer::showErrorMessage(int id, MessageKind kind)
{
    Q_UNUSED(id);
    Q_UNUSED(kind);
}

void Sniffer::showWarning(int id)
{
    showErrorMessage(id, Warning);
}

void Sniffer::showError(int id)
{
    showErrorMessage(id, Error);
}

void Sniffer::showDownloaderError(int id)
{
    showErrorMessage(id, DownloadError);
}
