// Illuminator commands to the iris camera's HID interface. The device is opened for
// every command and closed right after it; a missing or silent device is invisible to
// the callers.
#pragma once

#include <cstdint>

#include "device/hid_transport.h"
#include "device/illuminator_command.h"
#include "platform/thread.h"

namespace ocuvant::device {

// Longest wait for the device's reply to one command. A device that never answers
// holds the HID lock (and the sending thread) for at most this long.
inline constexpr uint32_t kHidReplyTimeoutMs = 1000;

// Serialises SendIlluminatorCommand across the process.
platform::CriticalSection& HidLock();

// Writes the command report for `code` and waits for one reply (bounded by
// kHidReplyTimeoutMs). -1 when the write fails; otherwise the result of the read that
// ended the wait: bytes read, a negative error, or 0 when no reply came in time.
int HidTransaction(HidTransport& transport, HidHandle* device, uint8_t code);

// Sends one command under the HID lock. Always 1: no device, a failed write or read
// are swallowed.
int SendIlluminatorCommand(uint8_t code, HidDeviceId id = kIlluminatorDevice);

// Status query without the HID lock: -1 when the device cannot be opened, else 0.
int CheckDevStatus(HidDeviceId id = kIlluminatorDevice);

}  // namespace ocuvant::device
