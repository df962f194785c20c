#include "simulator/virtual_illuminator.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/thread.h"

namespace ocuvant::simulator {

using device::HidHandle;

VirtualIlluminator::VirtualIlluminator(device::HidDeviceId id) : id_(id) {
  reports_.reserve(256);
}

VirtualIlluminator::~VirtualIlluminator() = default;

void VirtualIlluminator::SetConnected(bool connected) {
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = connected;
}

void VirtualIlluminator::SetAnswering(bool answering) {
  std::lock_guard<std::mutex> lock(mutex_);
  answering_ = answering;
}

void VirtualIlluminator::SetWriteFails(bool fails) {
  std::lock_guard<std::mutex> lock(mutex_);
  writeFails_ = fails;
}

std::vector<VirtualIlluminator::Report> VirtualIlluminator::Reports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_;
}

std::vector<uint8_t> VirtualIlluminator::Codes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> codes;
  for (const Report& r : reports_) codes.push_back(r.code());
  return codes;
}

void VirtualIlluminator::ClearReports() {
  std::lock_guard<std::mutex> lock(mutex_);
  reports_.clear();
}

bool VirtualIlluminator::FillLightOn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fillLight_;
}

bool VirtualIlluminator::FaceLightOn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faceLight_;
}

bool VirtualIlluminator::SessionActive() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_;
}

int VirtualIlluminator::OpenHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(open_.size());
}

int VirtualIlluminator::MaxOpenAtOnce() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxOpen_;
}

HidHandle* VirtualIlluminator::Open(uint16_t vendorId, uint16_t productId) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_ || vendorId != id_.vendorId || productId != id_.productId) return nullptr;
  open_.emplace_back();
  maxOpen_ = std::max(maxOpen_, static_cast<int>(open_.size()));
  return reinterpret_cast<HidHandle*>(&open_.back());
}

VirtualIlluminator::Connection* VirtualIlluminator::Find(HidHandle* device) {
  for (Connection& c : open_) {
    if (reinterpret_cast<HidHandle*>(&c) == device) return &c;
  }
  return nullptr;
}

uint8_t VirtualIlluminator::StateBits() const {
  return static_cast<uint8_t>((fillLight_ ? 1 : 0) | (faceLight_ ? 2 : 0) | (session_ ? 4 : 0));
}

void VirtualIlluminator::Apply(uint8_t code) {
  switch (code) {
    case device::CmdSessionStart:
      session_ = true;
      break;
    case device::CmdSessionStop:
      session_ = false;
      break;
    case device::CmdFaceLightOn:
      faceLight_ = true;
      break;
    case device::CmdFaceLightOff:
      faceLight_ = false;
      break;
    case device::CmdIlluminatorOn:
      fillLight_ = true;
      break;
    case device::CmdIlluminatorOff:
      fillLight_ = false;
      break;
    default:
      break;  // status, hints and results change no light
  }
}

int VirtualIlluminator::Write(HidHandle* device, const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  Connection* c = Find(device);
  if (c == nullptr || writeFails_ || data == nullptr || size != device::kHidReportSize) return -1;
  Report r{platform::GetTickCount(), {}};
  std::memcpy(r.bytes.data(), data, size);
  reports_.push_back(r);
  Apply(r.code());
  if (answering_) {
    c->lastCode = r.code();
    ++c->pendingReplies;
    replied_.notify_all();
  }
  return static_cast<int>(size);
}

int VirtualIlluminator::ReadTimeout(HidHandle* device, uint8_t* data, size_t size, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  Connection* c = Find(device);
  if (c == nullptr) return -1;
  const bool ready = replied_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                       [c] { return c->pendingReplies > 0; });
  if (!ready) return 0;
  --c->pendingReplies;
  uint8_t reply[kReplySize] = {0x55, 0xAA, 0x00, 0x02};
  reply[11] = c->lastCode;
  reply[12] = StateBits();
  reply[kReplySize - 1] = 0x03;
  const size_t n = std::min(size, kReplySize);
  std::memcpy(data, reply, n);
  return static_cast<int>(n);
}

void VirtualIlluminator::Close(HidHandle* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.remove_if(
      [device](const Connection& c) { return reinterpret_cast<const HidHandle*>(&c) == device; });
}

}  // namespace ocuvant::simulator
