// A virtual HID illuminator standing in for the iris camera's HID interface: it records
// every report written to it with the tick of its arrival and answers each one with an
// input report, as the device does. It can also be absent, silent or refuse writes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <vector>

#include "device/hid_transport.h"
#include "device/illuminator_command.h"

namespace ocuvant::simulator {

class VirtualIlluminator final : public device::HidTransport {
 public:
  struct Report {
    uint32_t tick;  // platform::GetTickCount() when the report arrived
    device::HidReport bytes;
    uint8_t code() const { return bytes[device::kCommandCodeOffset]; }
  };

  // Input report: 64 bytes (no report number), 55 AA 00 02, the last command's code
  // at byte 11, the device state at byte 12 (bit 0 fill light, bit 1 face light,
  // bit 2 session active), 03 last.
  static constexpr size_t kReplySize = 64;

  explicit VirtualIlluminator(device::HidDeviceId id = device::kIlluminatorDevice);
  ~VirtualIlluminator() override;

  // Behaviour switches (all default to a present, answering device).
  void SetConnected(bool connected);
  void SetAnswering(bool answering);
  void SetWriteFails(bool fails);

  std::vector<Report> Reports() const;
  std::vector<uint8_t> Codes() const;  // command code of each report, in order
  void ClearReports();
  bool FillLightOn() const;
  bool FaceLightOn() const;
  bool SessionActive() const;
  int OpenHandles() const;
  int MaxOpenAtOnce() const;  // most handles open at the same time so far

  // HidTransport
  device::HidHandle* Open(uint16_t vendorId, uint16_t productId) override;
  int Write(device::HidHandle* device, const uint8_t* data, size_t size) override;
  int ReadTimeout(device::HidHandle* device, uint8_t* data, size_t size, int timeoutMs) override;
  void Close(device::HidHandle* device) override;

 private:
  struct Connection {
    int pendingReplies = 0;
    uint8_t lastCode = 0;
  };
  Connection* Find(device::HidHandle* device);  // requires mutex_
  uint8_t StateBits() const;                    // requires mutex_
  void Apply(uint8_t code);                     // requires mutex_

  const device::HidDeviceId id_;
  mutable std::mutex mutex_;
  std::condition_variable replied_;
  std::list<Connection> open_;
  std::vector<Report> reports_;
  bool connected_ = true;
  bool answering_ = true;
  bool writeFails_ = false;
  bool fillLight_ = false;
  bool faceLight_ = false;
  bool session_ = false;
  int maxOpen_ = 0;
};

}  // namespace ocuvant::simulator
