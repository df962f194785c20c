// The live picture: frames of the capture sessions, downscaled on the streaming
// thread into one of three preallocated slots (the only work added there), encoded
// once per frame as JPEG on a thread of its own, and handed to every viewer; a viewer
// that is slow gets the newest frame when it is ready again (it skips the others).
// Nothing is copied while no viewer is connected.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/frame_route.h"

namespace ocuvant::web {

class FrameHub {
 public:
  static constexpr int kMaxSide = 640;  // the picture's longer side at most

  FrameHub();   // starts the encoder; installs the capture tap
  ~FrameHub();  // removes the tap, stops the encoder
  FrameHub(const FrameHub&) = delete;
  FrameHub& operator=(const FrameHub&) = delete;

  // Streaming thread (through the capture tap); public for tests.
  void OnFrame(const uint8_t* frame, long length, int32_t width, int32_t height,
               capture::FrameRoute route);

  // The eye rectangles of template kind `kind` (-1: none) drawn on iris frames, each
  // coloured by its eye's last result (1 accepted or done, negative rejected, 0 none).
  void SetOverlay(int32_t kind, int32_t left, int32_t right);

  // Viewers: a JPEG newer than *seq (updating it), or null after `waitMs`.
  std::shared_ptr<const std::string> Next(uint64_t* seq, uint32_t waitMs);
  void AddViewer() { ++viewers_; }
  void RemoveViewer() { --viewers_; }
  void WakeAll();

  struct Stats {
    uint64_t framesSeen = 0;     // frames the sessions delivered
    uint64_t framesEncoded = 0;  // JPEGs made
    uint64_t encodeMicros = 0;   // time spent encoding them
    int32_t width = 0, height = 0;
  };
  Stats GetStats() const;

 private:
  struct Slot {
    std::vector<uint8_t> rgb;  // kMaxSide x kMaxSide x 3, allocated once
    int32_t width = 0, height = 0;
    bool iris = false;
  };
  void Encode();
  void DrawOverlay(Slot& s, int32_t factor);

  Slot slots_[3];
  std::mutex writerMutex_;  // two cameras streaming at once: the second one's frame is skipped
  // Index swaps only under the lock: the streaming thread fills `write_`, the encoder
  // reads `read_`, `ready_` holds the newest filled slot.
  std::mutex slotMutex_;
  std::condition_variable slotReady_;
  int write_ = 0, ready_ = 1, read_ = 2;
  bool fresh_ = false;
  int32_t readFactor_ = 1, readyFactor_ = 1, writeFactor_ = 1;
  bool stopping_ = false;

  std::mutex jpegMutex_;
  std::condition_variable jpegReady_;
  std::shared_ptr<const std::string> jpeg_;
  uint64_t seq_ = 0;

  std::atomic<int32_t> viewers_{0};
  std::atomic<int32_t> overlayKind_{-1};
  std::atomic<int32_t> overlayEye_[2] = {0, 0};
  std::atomic<uint64_t> framesSeen_{0};
  std::atomic<uint64_t> framesEncoded_{0};
  std::atomic<uint64_t> encodeMicros_{0};
  std::atomic<int32_t> width_{0}, height_{0};
  std::thread encoder_;
};

}  // namespace ocuvant::web
