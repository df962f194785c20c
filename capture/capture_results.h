// Result codes of the capture layer that stand in for the platform's failure codes.
// They keep the values of the COM/DirectShow codes of the same meaning so that logs
// read the same on every build; every one is negative.
#pragma once

#include <cstdint>

namespace ocuvant::capture {

inline constexpr int32_t kCaptureOk = 0;
inline constexpr int32_t kCaptureErrorPointer = static_cast<int32_t>(0x80004003u);   // no source
inline constexpr int32_t kCaptureErrorFail = static_cast<int32_t>(0x80004005u);      // unspecified
inline constexpr int32_t kCaptureErrorNoMemory = static_cast<int32_t>(0x8007000Eu);  // buffers
inline constexpr int32_t kCaptureErrorCannotConnect = static_cast<int32_t>(0x80040217u);  // format

}  // namespace ocuvant::capture
