// A sound sink for tests: plays nothing, records every call with its tick count.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/sound.h"

namespace ocuvant::platform {

class RecordingSoundSink final : public SoundSink {
 public:
  enum class CallKind { Play, Stop };
  struct Call {
    CallKind kind;
    const uint8_t* wav;  // nullptr for Stop
    size_t size;
    uint32_t tick;  // GetTickCount() at the call
  };

  void PlayAsync(const uint8_t* wav, size_t size) override;
  void Stop() override;

  std::vector<Call> Calls() const;
  size_t PlayCount() const;
  void Clear();
  // True once at least `count` calls are recorded, waiting at most `ms` milliseconds.
  bool WaitForCalls(size_t count, uint32_t ms) const;

 private:
  void Record(CallKind kind, const uint8_t* wav, size_t size);

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<Call> calls_;
};

}  // namespace ocuvant::platform
