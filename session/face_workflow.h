// Infrared face enrollment: turns each frame of the infrared camera into a grey image,
// asks the face library for a template, logs position hints (tag "face") and collects
// five good templates taken at least 800 ms apart for the library to enroll.
//
// Collecting states and their legal transitions:
//   Stopped    --Start--> Collecting
//   Collecting --10 s without a position hint--> Idle
//   Collecting --five templates enrolled by the library--> Enrolled
//   Collecting --enrollment refused ("Face enrollment failed")--> Collecting (from zero)
//   any        --Start--> Collecting ;  any --Stop--> Stopped
// Idle and Enrolled do nothing with frames until Start is called again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "support/travex_face.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

inline constexpr int32_t kFaceFrameWidth = 640;
inline constexpr int32_t kFaceFrameHeight = 480;
// Bottom-up BGR24 bytes of one infrared frame.
inline constexpr size_t kFaceFrameBytes = size_t{kFaceFrameWidth} * kFaceFrameHeight * 3;
inline constexpr int32_t kFaceTemplatesToEnroll = 5;

enum class FaceCollecting : int32_t { Stopped = 0, Collecting = 1, Idle = 2, Enrolled = 3 };

// What one frame did (for tests and tools; the control does not use it).
enum class FaceFrameOutcome : int32_t {
  Dropped,       // not a 640 x 480 frame, or not collecting
  Inactive,      // no position hint for more than 10 s: nothing is done any more
  NoFace,        // the library found no usable face
  TooFar,        // landmarks too close together ("Move forward" now or earlier)
  Misplaced,     // a position hint applies (logged now or earlier)
  BadPose,       // well placed, pose out of range ("Bad pos" now or earlier)
  TooSoon,       // a good template less than 800 ms after the last one kept
  Counted,       // a good template kept (fewer than five so far)
  Enrolled,      // the fifth template kept and the five enrolled by the library
  EnrollFailed,  // the library refused the five: collecting starts again from zero
};

// The session's counters (times are millisecond tick counts).
struct FaceState {
  FaceCollecting collecting = FaceCollecting::Stopped;
  int32_t templateCount = 0;
  int32_t lastHintCode = 0;
  uint32_t lastHintTime = 0;
  uint32_t lastAcceptTime = 0;
  uint32_t lastGoodPoseTime = 0;
  uint32_t lastActivityTime = 0;
};

class FaceWorkflow {
 public:
  const int32_t hintInterval = 3000;
  const int32_t acceptInterval = 800;
  const int32_t inactivityLimit = 10000;

  FaceWorkflow() = default;
  FaceWorkflow(const FaceWorkflow&) = delete;
  FaceWorkflow& operator=(const FaceWorkflow&) = delete;

  // Loads the face library from `directory` (with its trailing separator): 1, or the
  // library's load failure -51, -52, -53. Every call loads the library again.
  int32_t LoadLibrary(const std::string& directory);
  // Starts collecting from zero at tick `now`.
  void Start(uint32_t now);
  // Stops collecting (the camera closes).
  void Stop();
  // One frame of `length` bytes (bottom-up BGR24, 640 x 480) at tick `now`. Frames of
  // another length are dropped without being read.
  FaceFrameOutcome ProcessFrame(const uint8_t* data, size_t length, uint32_t now);

  FaceState State() const;
  support::TravexFace& Library() { return library_; }
  // The grey image of the last frame processed: 640 x 480, top row first.
  const uint8_t* GreyImage() const { return grey_; }

 private:
  FaceFrameOutcome ProcessLocked(uint32_t now);
  void LogHintLocked(int32_t code, uint32_t now);

  mutable std::mutex mutex_;  // frames (streaming thread) against Start/Stop (host)
  FaceState state_;
  support::TravexFace library_;
  uint8_t grey_[size_t{kFaceFrameWidth} * kFaceFrameHeight];
};

// Frame entry of route FaceFrames (the control's OnFrame calls it on the streaming
// thread): drops the frame while the control ignores frames or when the running
// camera's format is not 640 x 480, else hands it to the control's face workflow.
void OnFaceFrame(control::COcuvantCtrl& control, const uint8_t* data, size_t length);

}  // namespace ocuvant::session
