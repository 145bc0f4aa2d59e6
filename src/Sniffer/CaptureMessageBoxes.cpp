#include "CaptureMessageBoxes.h"

#include <QMessageBox>

void CaptureMessageBoxes::critical(const QString &text)
{
    QMessageBox::critical(nullptr, text, text, QMessageBox::Ok);
}
