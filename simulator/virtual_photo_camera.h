// Virtual photo cameras: a visible-light and an infrared camera showing a simple
// portrait scene (background, head and shoulders) that moves a little from frame to
// frame.
#pragma once

#include "simulator/virtual_camera_stream.h"

namespace ocuvant::simulator {

class VirtualPhotoCamera final : public VirtualCameraStream {
 public:
  VirtualPhotoCamera(const VirtualStreamFormat& format, bool infrared,
                     std::shared_ptr<VirtualCameraControls> controls);
  ~VirtualPhotoCamera() override;

 protected:
  bool RenderFrame(uint64_t index, uint8_t* bgr) override;

 private:
  bool infrared_;
};

}  // namespace ocuvant::simulator
