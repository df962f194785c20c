// The iris camera's HID illuminator protocol: one command code in a fixed 65-byte
// output report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ocuvant::device {

// Command codes (byte 12 of the report).
enum IlluminatorCommand : uint8_t {
  CmdStatus = 0x31,          // "1" status query (CheckDevStatus)
  CmdSessionStart = 0x33,    // "3" an enrollment step or a match begins
  CmdSessionStop = 0x34,     // "4" the iris session closes
  CmdQualityHint = 0x35,     // "5" an eye image was rejected
  CmdFaceLightOn = 0x36,     // "6"
  CmdFaceLightOff = 0x37,    // "7"
  CmdResultOk = 0x3A,        // ":" enrollment or match succeeded
  CmdIlluminatorOn = 0x3C,   // "<" near-infrared fill light on
  CmdIlluminatorOff = 0x3D,  // "=" near-infrared fill light off
  CmdResultFail = 0x3E,      // ">" enrollment or match failed
};

inline constexpr IlluminatorCommand kAllIlluminatorCommands[] = {
    CmdStatus,       CmdSessionStart, CmdSessionStop,   CmdQualityHint,    CmdFaceLightOn,
    CmdFaceLightOff, CmdResultOk,     CmdIlluminatorOn, CmdIlluminatorOff, CmdResultFail};

// USB identity of the illuminator's HID interface; the first enumerated match is used.
struct HidDeviceId {
  uint16_t vendorId;
  uint16_t productId;
};
inline constexpr HidDeviceId kIlluminatorDevice{0x0483, 0x5750};

// Output report: byte 0 is the report number (none, 0); replies are read into a
// buffer of the same size and not interpreted.
inline constexpr size_t kHidReportSize = 65;
inline constexpr size_t kCommandCodeOffset = 12;
using HidReport = std::array<uint8_t, kHidReportSize>;

// 00 55 AA 00 02, seven zeros, the code, fifty-one zeros, 03.
constexpr HidReport BuildCommandReport(uint8_t code) {
  HidReport r{};
  r[1] = 0x55;
  r[2] = 0xAA;
  r[4] = 0x02;
  r[kCommandCodeOffset] = code;
  r[kHidReportSize - 1] = 0x03;
  return r;
}

}  // namespace ocuvant::device
