#pragma once

#include "CaptureReporter.h"

// Shows the capture engine's messages as the critical boxes the user knows, with the same text as title.
class CaptureMessageBoxes final : public CaptureReporter
{
public:
    void critical(const QString &text) override;
};
