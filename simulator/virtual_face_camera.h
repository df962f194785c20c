// Virtual infrared face camera: grey frames (delivered as bottom-up BGR24) of a face
// scene that follows a face script (see face_scene.h). A stand-in for the infrared
// camera of the face enrollment, for tests and the demo.
#pragma once

#include <vector>

#include "simulator/face_scene.h"
#include "simulator/virtual_camera_stream.h"

namespace ocuvant::simulator {

class VirtualFaceCamera final : public VirtualCameraStream {
 public:
  VirtualFaceCamera(const VirtualStreamFormat& format, FaceScript script,
                    std::shared_ptr<VirtualCameraControls> controls);
  ~VirtualFaceCamera() override;

 protected:
  bool RenderFrame(uint64_t index, uint8_t* bgr) override;
  bool Unplugged(uint64_t index) const override;

 private:
  const FaceScript script_;
  std::vector<uint8_t> grey_;  // one frame, top row first
};

}  // namespace ocuvant::simulator
