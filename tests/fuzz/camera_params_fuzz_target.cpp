// The camera-parameter JSON (SetCameraParams) applied to the simulator's iris camera.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/capture_video.h"
#include "platform/message_box.h"
#include "simulator/virtual_camera_backend.h"

namespace {

ocuvant::capture::CCaptureVideo* Session() {
  static std::unique_ptr<ocuvant::capture::CCaptureVideo> session = [] {
    ocuvant::platform::SetMessageBoxHandler([](const std::string&, const std::string&) {});
    ocuvant::simulator::VirtualCameraConfig config;
    std::string error;
    if (!ocuvant::simulator::InstallVirtualCameras(config, &error)) __builtin_trap();
    auto s = std::make_unique<ocuvant::capture::CCaptureVideo>();
    if (s->Open(0, nullptr, ocuvant::capture::SnapshotOnly, "PhotoCapture") != 0) __builtin_trap();
    return s;
  }();
  return session.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session()->ApplyCameraParams(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
