// The set of capture backends whose devices form the camera list. Real cameras (V4L2)
// are registered from the start; the simulator adds its virtual cameras on request.
// The list is the backends' devices in registration order.
#pragma once

#include <memory>
#include <vector>

#include "capture/capture_backend.h"

namespace ocuvant::capture {

void RegisterCaptureBackend(std::shared_ptr<CaptureBackend> backend);
void UnregisterCaptureBackend(const std::shared_ptr<CaptureBackend>& backend);
// Removes every backend, the real-camera one included (tests and tools that want a
// device list of their own).
void ClearCaptureBackends();
// The real-camera backend (the one registered at start-up).
std::shared_ptr<CaptureBackend> RealCameraBackend();

// The current device list; empty when no backend is registered.
std::vector<DeviceDescriptor> EnumerateCaptureDevices();

}  // namespace ocuvant::capture
