#pragma once

// How an adapter is opened, alike in the engine and in the capture helper. Plain C++: the helper has no Qt.
namespace CaptureSettings {

inline constexpr int snapshotLength = 65535;
inline constexpr int readTimeoutMs = 1000;
// Immediate mode gives every frame a slot of the snapshot length: libpcap's default 2 MiB holds about 30 and
// drops frames under load.
inline constexpr int kernelBufferBytes = 64 * 1024 * 1024;
inline constexpr const char *filter = "tcp";

// The helper's file name beside the program, and its exit codes other than 0 (its input closed).
inline constexpr const char *helperName = "corvane2-capture";
inline constexpr int helperRefusedName = 2;
inline constexpr int helperNotPermitted = 3;

} // namespace CaptureSettings
