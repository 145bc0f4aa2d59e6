#pragma once

#include <QString>

// The audio quality the video site gives a format code, such as "AAC 192 KBps"; empty for unknown codes.
QString audioQuality(int code);
