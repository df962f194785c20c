// The real cameras on Windows. DirectShow capture is not built yet: the backend lists
// no device, so the control sees only the cameras of an explicitly chosen simulator.
#include "capture/capture_registry.h"

namespace ocuvant::capture {

namespace {

class NoCameraBackend final : public CaptureBackend {
 public:
  void Enumerate(const std::shared_ptr<CaptureBackend>&, std::vector<DeviceDescriptor>*) override {}
  std::unique_ptr<CaptureSource> Bind(const DeviceDescriptor&) override { return nullptr; }
};

}  // namespace

std::shared_ptr<CaptureBackend> RealCameraBackend() {
  static const std::shared_ptr<CaptureBackend> backend = std::make_shared<NoCameraBackend>();
  return backend;
}

}  // namespace ocuvant::capture
