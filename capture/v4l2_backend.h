// Real cameras: V4L2 video capture devices found through udev.
#pragma once

#include "capture/capture_backend.h"

namespace ocuvant::capture {

class V4l2Backend final : public CaptureBackend {
 public:
  // Capture nodes ("video<N>" that can capture) in node-number order. The friendly name is
  // the card name; the device path is built from the USB parent (Windows style).
  void Enumerate(const std::shared_ptr<CaptureBackend>& self,
                 std::vector<DeviceDescriptor>* out) override;
  std::unique_ptr<CaptureSource> Bind(const DeviceDescriptor& device) override;
  std::vector<std::string> DescribeModes(const DeviceDescriptor& device) override;
};

}  // namespace ocuvant::capture
