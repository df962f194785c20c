// HidTransport over hidapi's hidraw backend.
#include <hidapi.h>

#include <atomic>
#include <mutex>

#include "device/hid_transport.h"

namespace ocuvant::device {
namespace {

hid_device* Native(HidHandle* device) {
  return reinterpret_cast<hid_device*>(device);
}

class Hidapi final : public HidTransport {
 public:
  HidHandle* Open(uint16_t vendorId, uint16_t productId) override {
    // hid_init is not safe to run concurrently; hid_open would call it lazily.
    std::call_once(init_, [] { hid_init(); });
    return reinterpret_cast<HidHandle*>(hid_open(vendorId, productId, nullptr));
  }
  int Write(HidHandle* device, const uint8_t* data, size_t size) override {
    return hid_write(Native(device), data, size);
  }
  int ReadTimeout(HidHandle* device, uint8_t* data, size_t size, int timeoutMs) override {
    return hid_read_timeout(Native(device), data, size, timeoutMs);
  }
  void Close(HidHandle* device) override { hid_close(Native(device)); }

 private:
  std::once_flag init_;
};

std::atomic<HidTransport*> g_installed{nullptr};

}  // namespace

HidTransport& HidapiTransport() {
  static Hidapi transport;
  return transport;
}

void InstallHidTransport(HidTransport* transport) {
  g_installed.store(transport);
}

HidTransport& ActiveHidTransport() {
  HidTransport* t = g_installed.load();
  return t != nullptr ? *t : HidapiTransport();
}

}  // namespace ocuvant::device
