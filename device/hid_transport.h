// The seam between the illuminator commands and the HID device: hidapi by default,
// a stand-in (the simulator's virtual illuminator, tests) when one is installed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ocuvant::device {

// Opaque open-device handle of a transport.
struct HidHandle;

// The four hidapi operations the commands use. Implementations are thread-safe:
// CheckDevStatus uses its own handle while a locked command may be in progress.
class HidTransport {
 public:
  virtual ~HidTransport() = default;
  // First device with that vendor and product id; nullptr when there is none.
  virtual HidHandle* Open(uint16_t vendorId, uint16_t productId) = 0;
  // Bytes written, or -1.
  virtual int Write(HidHandle* device, const uint8_t* data, size_t size) = 0;
  // Waits at most `timeoutMs` for one input report: bytes read, 0 when none came, -1 on error.
  virtual int ReadTimeout(HidHandle* device, uint8_t* data, size_t size, int timeoutMs) = 0;
  virtual void Close(HidHandle* device) = 0;
};

// The hidapi (hidraw) transport of the process.
HidTransport& HidapiTransport();

// Installs a stand-in for every later command (nullptr restores hidapi). The stand-in
// must outlive its installation.
void InstallHidTransport(HidTransport* transport);
HidTransport& ActiveHidTransport();

}  // namespace ocuvant::device
