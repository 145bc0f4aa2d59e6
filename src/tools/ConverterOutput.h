#pragma once

#include <QByteArray>

namespace ConverterOutput {

// ffmpeg ends with exit code 0 when writing its output failed at the end ("Error writing trailer",
// "Error closing file", as on a full disk): its file is then cut short, however it exited.
bool writeFailed(const QByteArray &errorOutput);

} // namespace ConverterOutput
