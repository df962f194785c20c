// The real cameras on Windows: DirectShow's video input devices.
#include "capture/capture_registry.h"
#include "capture/dshow_backend_win.h"

namespace ocuvant::capture {

std::shared_ptr<CaptureBackend> RealCameraBackend() {
  static const std::shared_ptr<CaptureBackend> backend = std::make_shared<DirectShowBackend>();
  return backend;
}

}  // namespace ocuvant::capture
