#include "device/illuminator.h"

namespace ocuvant::device {

platform::CriticalSection& HidLock() {
  static platform::CriticalSection lock;
  return lock;
}

int HidTransaction(HidTransport& transport, HidHandle* device, uint8_t code) {
  const HidReport report = BuildCommandReport(code);
  if (transport.Write(device, report.data(), report.size()) < 0) return -1;

  // The reply's content is not interpreted; only its arrival ends the wait. A zero
  // result is "nothing yet", so keep reading until the deadline.
  HidReport reply{};
  const uint32_t start = platform::GetTickCount();
  for (;;) {
    const uint32_t elapsed = platform::TicksSince(start);
    if (elapsed >= kHidReplyTimeoutMs) return 0;
    const int timeout = static_cast<int>(kHidReplyTimeoutMs - elapsed);
    const int r = transport.ReadTimeout(device, reply.data(), reply.size(), timeout);
    if (r != 0) return r;
  }
}

int SendIlluminatorCommand(uint8_t code, HidDeviceId id) {
  HidTransport& transport = ActiveHidTransport();
  platform::Lock lock(HidLock());
  HidHandle* device = transport.Open(id.vendorId, id.productId);
  if (device != nullptr) {
    try {
      HidTransaction(transport, device, code);
    } catch (...) {
      // A failing device must not disturb the session that sent the command.
    }
    transport.Close(device);
  }
  return 1;
}

int CheckDevStatus(HidDeviceId id) {
  HidTransport& transport = ActiveHidTransport();
  HidHandle* device = transport.Open(id.vendorId, id.productId);
  if (device == nullptr) return -1;
  try {
    HidTransaction(transport, device, CmdStatus);
  } catch (...) {
  }
  transport.Close(device);
  return 0;
}

}  // namespace ocuvant::device
