#include "ConverterOutput.h"

namespace ConverterOutput {

bool writeFailed(const QByteArray &errorOutput)
{
    return errorOutput.contains("Error writing trailer") || errorOutput.contains("Error closing file")
        || errorOutput.contains("No space left on device");
}

} // namespace ConverterOutput
