#pragma once

#include "SniffReportQueue.h"

#include <optional>

// The media reports of capture engines, kept for a test. collectReport is the callback to register.
void collectReport(QByteArray url, QByteArray requestHeader, QByteArray contentLength, QByteArray mediaType,
                   QByteArray body);
// The oldest report not taken yet, without waiting.
std::optional<SniffReport> takeReport();
// The report of url once it arrived, passing over others; nothing when none came within timeoutMs.
std::optional<SniffReport> waitForReport(const QByteArray &url, int timeoutMs = 10000);
