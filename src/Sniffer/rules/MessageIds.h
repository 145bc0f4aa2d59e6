#pragma once

#include <array>

// Ids of the message entries the program raises from the settings lists "error_messages" and
// "error_messages_dl". The delivered settings file must carry an entry for each.
namespace MessageIds {

enum Error : int {
    UnsupportedAddress = 1,
    NoVideoId = 2,
    InvalidAddress = 3,
    NoSnifferTestPage = 8,
    CaptureNotPermitted = 9,
    NoCaptureAdapter = 10,
    RecordingNotMade = 11,
    CaptureFailed = 12,
    NoSniffBrowser = 13,
};

inline constexpr std::array errors { UnsupportedAddress, NoVideoId,           InvalidAddress,
                                     NoSnifferTestPage,  CaptureNotPermitted, NoCaptureAdapter,
                                     RecordingNotMade,   CaptureFailed,       NoSniffBrowser };

// The site-download driver's error codes run from 0 up to this count, exclusive.
inline constexpr int downloadErrorCount = 15;

} // namespace MessageIds
