// Where the grabber callback sends the frames of a capture session.
#pragma once

#include <cstdint>

namespace ocuvant::capture {

enum FrameRoute : int32_t {
  SnapshotOnly = 0,  // frames go nowhere; snapshots only; no frame lock
  IrisFrames = 1,    // OnFrame -> iris pipeline, under the session's frame lock
  FaceFrames = 2,    // OnFrame -> infrared face processing; no frame lock
};

}  // namespace ocuvant::capture
