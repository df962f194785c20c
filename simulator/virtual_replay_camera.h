// A replaying iris camera: the frames of a folder played in name order, looping. Files
// of 1920 x 1080 grey bytes (as the control's realtime capture writes them: top row
// first, mirrored) are turned back into the camera frame that produced them (unmirrored,
// bottom-up, the grey value in all three bytes); files of 1920 x 1080 x 3 bytes are
// bottom-up BGR24 camera frames and are delivered as they are. Other files are ignored.
// A replay never skips a file: when the control takes longer over a frame than the
// frame period, the next file follows as soon as it returns, so a replay sees the same
// frames in the same order on a slow machine as on a fast one.
#pragma once

#include <string>
#include <vector>

#include "simulator/virtual_camera_stream.h"

namespace ocuvant::simulator {

inline constexpr size_t kReplayGreyFrameBytes = 1920u * 1080u;
inline constexpr size_t kReplayBgrFrameBytes = 1920u * 1080u * 3u;

class VirtualReplayCamera final : public VirtualCameraStream {
 public:
  VirtualReplayCamera(const std::string& directory, double framesPerSecond, bool delivers,
                      std::shared_ptr<VirtualCameraControls> controls);
  ~VirtualReplayCamera() override;

  // The playable files of `directory`, in name order.
  static std::vector<std::string> ListFrames(const std::string& directory);
  // Grey frame (top-down, mirrored) to the camera frame it came from.
  static void GreyToCameraFrame(const uint8_t* grey, uint8_t* bgr);

 protected:
  bool Prepare() override;
  bool RenderFrame(uint64_t index, uint8_t* bgr) override;
  bool SkipsLateFrames() const override { return false; }

 private:
  std::string directory_;
  std::vector<std::string> files_;
  std::vector<uint8_t> grey_;  // read buffer for grey files
};

}  // namespace ocuvant::simulator
