// A capture backend whose device list a test writes: names or paths can be unreadable,
// and bound devices can lack the image-settings interface.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "capture/capture_backend.h"
#include "capture/capture_registry.h"
#include "simulator/virtual_camera_stream.h"

namespace ocuvant::capture::testing {

struct FakeDevice {
  std::string name;  // empty: unreadable
  std::string path;  // empty: unreadable
  int32_t width = 320;
  int32_t height = 240;
  bool hasControls = true;
};

class FakeSource final : public simulator::VirtualCameraStream {
 public:
  FakeSource(const FakeDevice& d, std::shared_ptr<simulator::VirtualCameraControls> controls)
      : VirtualCameraStream(simulator::VirtualStreamFormat{d.width, d.height, 100, true},
                            d.hasControls ? std::move(controls) : nullptr) {}
  ~FakeSource() override { StopStream(); }

 protected:
  // Frame n: every byte is n mod 256, so frames can be told apart.
  bool RenderFrame(uint64_t index, uint8_t* bgr) override {
    const size_t size = static_cast<size_t>(format().width) * format().height * 3;
    for (size_t i = 0; i < size; ++i) bgr[i] = static_cast<uint8_t>(index);
    return true;
  }
};

class FakeBackend final : public CaptureBackend {
 public:
  explicit FakeBackend(std::vector<FakeDevice> devices) : devices_(std::move(devices)) {
    for (size_t i = 0; i < devices_.size(); ++i) {
      controls_.push_back(std::make_shared<simulator::VirtualCameraControls>());
    }
  }
  void Enumerate(const std::shared_ptr<CaptureBackend>& self,
                 std::vector<DeviceDescriptor>* out) override {
    for (size_t i = 0; i < devices_.size(); ++i) {
      DeviceDescriptor d;
      d.hasFriendlyName = !devices_[i].name.empty();
      d.friendlyName = devices_[i].name;
      d.hasDevicePath = !devices_[i].path.empty();
      d.devicePath = devices_[i].path;
      d.locator = std::to_string(i);
      d.backend = self;
      out->push_back(d);
    }
  }
  std::unique_ptr<CaptureSource> Bind(const DeviceDescriptor& device) override {
    const size_t i = std::stoul(device.locator);
    return std::make_unique<FakeSource>(devices_[i], controls_[i]);
  }
  simulator::VirtualCameraControls& Controls(size_t i) { return *controls_[i]; }

 private:
  std::vector<FakeDevice> devices_;
  std::vector<std::shared_ptr<simulator::VirtualCameraControls>> controls_;
};

// Replaces the camera list with the given backends for the life of the object.
class ScopedBackends {
 public:
  explicit ScopedBackends(std::vector<std::shared_ptr<CaptureBackend>> backends) {
    ClearCaptureBackends();
    for (auto& b : backends) RegisterCaptureBackend(b);
  }
  ~ScopedBackends() {
    ClearCaptureBackends();
    RegisterCaptureBackend(RealCameraBackend());
  }
};

}  // namespace ocuvant::capture::testing
