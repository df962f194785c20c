#include "simulator/virtual_photo_camera.h"

#include <cmath>

namespace ocuvant::simulator {

VirtualPhotoCamera::VirtualPhotoCamera(const VirtualStreamFormat& format, bool infrared,
                                       std::shared_ptr<VirtualCameraControls> controls)
    : VirtualCameraStream(format, std::move(controls)), infrared_(infrared) {}

VirtualPhotoCamera::~VirtualPhotoCamera() {
  StopStream();
}

// A head (ellipse) over shoulders in front of a vertical gradient. Visible light: warm
// skin, blue background; infrared: grey levels, bright skin.
bool VirtualPhotoCamera::RenderFrame(uint64_t index, uint8_t* bgr) {
  const int w = format().width, h = format().height;
  const double sway = std::sin(static_cast<double>(index) * 0.05) * 0.02 * w;
  const double cx = w / 2.0 + sway, cy = h * 0.42;
  const double rx = w * 0.16, ry = h * 0.26;
  for (int stored = 0; stored < h; ++stored) {
    const int y = h - 1 - stored;  // rows bottom-up
    uint8_t* row = bgr + static_cast<size_t>(stored) * 3 * w;
    const double fy = static_cast<double>(y) / h;
    for (int x = 0; x < w; ++x) {
      const double dx = (x - cx) / rx, dy = (y - cy) / ry;
      const double head = dx * dx + dy * dy;
      const bool shoulders = y > h * 0.72 && std::fabs(x - cx) < w * 0.32;
      uint8_t b, g, r;
      if (head <= 1.0) {
        const double shade = 1.0 - 0.25 * head;
        b = static_cast<uint8_t>((infrared_ ? 200 : 120) * shade);
        g = static_cast<uint8_t>((infrared_ ? 200 : 160) * shade);
        r = static_cast<uint8_t>((infrared_ ? 200 : 210) * shade);
      } else if (shoulders) {
        b = infrared_ ? 90 : 110;
        g = infrared_ ? 90 : 60;
        r = infrared_ ? 90 : 40;
      } else {
        const auto level = static_cast<uint8_t>(60 + 120 * fy);
        b = infrared_ ? static_cast<uint8_t>(level / 2) : level;
        g = infrared_ ? static_cast<uint8_t>(level / 2) : static_cast<uint8_t>(level * 3 / 4);
        r = infrared_ ? static_cast<uint8_t>(level / 2) : static_cast<uint8_t>(level / 3);
      }
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    }
  }
  return true;
}

}  // namespace ocuvant::simulator
