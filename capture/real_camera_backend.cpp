// The real cameras on Linux: V4L2.
#include "capture/capture_registry.h"
#include "capture/v4l2_backend.h"

namespace ocuvant::capture {

std::shared_ptr<CaptureBackend> RealCameraBackend() {
  static const std::shared_ptr<CaptureBackend> backend = std::make_shared<V4l2Backend>();
  return backend;
}

}  // namespace ocuvant::capture
