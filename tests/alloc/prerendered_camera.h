// A capture backend with one iris camera that plays frames rendered before streaming
// starts: its streaming thread hands the same few buffers to the session over and
// over, so whatever is allocated inside the frame callback is the control's doing.
// Every delivery is counted with the counting allocator and recorded.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/capture_backend.h"
#include "engine/common/engine_types.h"
#include "tests/alloc/counting_allocator.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::alloc_test {

// What a frame shows: both eyes open and looking at the camera, both eyes shut, or
// nobody in front of the camera.
enum class Scene : uint8_t { Present, EyesClosed, Gone };

struct FrameRecord {
  Scene scene = Scene::Gone;
  bool armedBefore = false;  // a session was armed when the frame arrived
  bool armedAfter = false;   // ... and still was when the callback returned
  bool hostLogLine = false;  // a log line reached the host during the callback
  bool fillLightSwitched = false;
  int32_t matchProcessCode[2] = {-1, -1};  // matching: the watched kind's engine codes
  AllocationCount count;
};

// The frames, their order and the records; shared by the test and the camera.
class FrameFeed {
 public:
  static constexpr size_t kMaxRecords = 4096;

  // `scenes[i]` is the scene of `frames[i]` (bottom-up BGR24, 1920 x 1080). While a
  // session is armed the frames play in `order` (indices into `frames`), cyclically,
  // from its start for every armed session or step; otherwise frame `idle` plays.
  FrameFeed(std::vector<std::vector<uint8_t>> frames, std::vector<Scene> scenes,
            std::vector<int> order, int idle, control::COcuvantCtrl* ctrl,
            engine::TemplateKind watchedKind);

  std::vector<FrameRecord> Records() const;
  // Deliveries that found the record list full.
  int64_t Unrecorded() const { return unrecorded_.load(); }

  // Streaming thread: the next frame to deliver (and its scene).
  const std::vector<uint8_t>& Next(Scene* scene, bool* armed);
  void Record(const FrameRecord& record);
  bool Armed() const;
  const control::COcuvantCtrl& Control() const { return *ctrl_; }
  engine::TemplateKind WatchedKind() const { return watchedKind_; }

 private:
  const std::vector<std::vector<uint8_t>> frames_;
  const std::vector<Scene> scenes_;
  const std::vector<int> order_;
  const int idle_;
  control::COcuvantCtrl* const ctrl_;
  const engine::TemplateKind watchedKind_;
  size_t position_ = 0;       // streaming thread only, as the generation
  uint32_t generation_ = 0;   // session generation the order was last started for
  mutable std::mutex mutex_;  // guards records_
  std::vector<FrameRecord> records_;
  std::atomic<int64_t> unrecorded_{0};
};

// The test's event sink calls this from LogInfo: marks the frame in progress, if the
// caller is the camera's streaming thread inside a delivery.
void NoteHostLogLine();

class PrerenderedBackend final : public capture::CaptureBackend {
 public:
  PrerenderedBackend(std::shared_ptr<FrameFeed> feed, uint32_t periodMs);
  void Enumerate(const std::shared_ptr<capture::CaptureBackend>& self,
                 std::vector<capture::DeviceDescriptor>* out) override;
  std::unique_ptr<capture::CaptureSource> Bind(const capture::DeviceDescriptor& device) override;

 private:
  std::shared_ptr<FrameFeed> feed_;
  uint32_t periodMs_;
};

}  // namespace ocuvant::alloc_test
