#include "CaptureMessageBoxes.h"

#include "MessageBox.h"

void CaptureMessageBoxes::critical(const QString &text)
{
    MessageBox::critical(nullptr, text, text);
}
