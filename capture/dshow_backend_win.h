// Real cameras on Windows: the video input devices of DirectShow's system device
// enumerator, each bound to a capture graph (device filter -> SampleGrabber (RGB24)
// -> video renderer, or a null renderer where no window can be made).
#pragma once

#include "capture/capture_backend.h"

namespace ocuvant::capture {

class DirectShowBackend final : public CaptureBackend {
 public:
  // Every moniker of CLSID_VideoInputDeviceCategory in the enumerator's order, also
  // those whose FriendlyName or DevicePath cannot be read. Names and paths are UTF-8.
  void Enumerate(const std::shared_ptr<CaptureBackend>& self,
                 std::vector<DeviceDescriptor>* out) override;
  // The device's filter (IMoniker::BindToObject); nullptr when it is gone or will not
  // bind.
  std::unique_ptr<CaptureSource> Bind(const DeviceDescriptor& device) override;
  // The formats the device's capture pin offers (IAMStreamConfig).
  std::vector<std::string> DescribeModes(const DeviceDescriptor& device) override;
};

}  // namespace ocuvant::capture
