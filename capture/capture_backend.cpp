#include "capture/capture_backend.h"

#include <cstdio>

namespace ocuvant::capture {

std::vector<std::string> CaptureBackend::DescribeModes(const DeviceDescriptor& device) {
  std::vector<std::string> out;
  std::unique_ptr<CaptureSource> source = Bind(device);
  int32_t width = 0, height = 0;
  if (!source || source->Connect(&width, &height) != 0) return out;
  char text[48];
  std::snprintf(text, sizeof text, "BGR3 %dx%d *", static_cast<int>(width),
                static_cast<int>(height));
  out.push_back(text);
  return out;
}

}  // namespace ocuvant::capture
