#include "capture/capture_registry.h"

#include <algorithm>
#include <mutex>

namespace ocuvant::capture {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<CaptureBackend>> backends{RealCameraBackend()};
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterCaptureBackend(std::shared_ptr<CaptureBackend> backend) {
  if (!backend) return;
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (std::find(r.backends.begin(), r.backends.end(), backend) == r.backends.end()) {
    r.backends.push_back(std::move(backend));
  }
}

void UnregisterCaptureBackend(const std::shared_ptr<CaptureBackend>& backend) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.backends.erase(std::remove(r.backends.begin(), r.backends.end(), backend), r.backends.end());
}

void ClearCaptureBackends() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.backends.clear();
}

std::vector<DeviceDescriptor> EnumerateCaptureDevices() {
  std::vector<std::shared_ptr<CaptureBackend>> backends;
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    backends = r.backends;
  }
  std::vector<DeviceDescriptor> devices;
  for (const auto& b : backends) b->Enumerate(b, &devices);
  return devices;
}

}  // namespace ocuvant::capture
