#include "simulator/virtual_face_camera.h"

namespace ocuvant::simulator {

VirtualFaceCamera::VirtualFaceCamera(const VirtualStreamFormat& format, FaceScript script,
                                     std::shared_ptr<VirtualCameraControls> controls)
    : VirtualCameraStream(format, std::move(controls)),
      script_(std::move(script)),
      grey_(static_cast<size_t>(format.width) * static_cast<size_t>(format.height)) {}

VirtualFaceCamera::~VirtualFaceCamera() {
  StopStream();
}

bool VirtualFaceCamera::RenderFrame(uint64_t index, uint8_t* bgr) {
  const int32_t w = format().width, h = format().height;
  const double fps = format().framesPerSecond > 0 ? format().framesPerSecond : 30;
  const auto ms = static_cast<uint64_t>(static_cast<double>(index) * 1000.0 / fps);
  RenderFaceScene(script_.SceneAt(ms), index, grey_.data(), w, h);
  for (int32_t stored = 0; stored < h; ++stored) {
    const uint8_t* src = grey_.data() + static_cast<size_t>(h - 1 - stored) * w;  // bottom-up
    uint8_t* dst = bgr + static_cast<size_t>(stored) * 3 * w;
    for (int32_t x = 0; x < w; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
  }
  return true;
}

bool VirtualFaceCamera::Unplugged(uint64_t index) const {
  const double fps = format().framesPerSecond > 0 ? format().framesPerSecond : 30;
  return script_.SceneAt(static_cast<uint64_t>(static_cast<double>(index) * 1000.0 / fps))
      .unplugged;
}

}  // namespace ocuvant::simulator
