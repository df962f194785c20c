#include "platform/recording_sound_sink.h"

#include <algorithm>
#include <chrono>

#include "platform/thread.h"

namespace ocuvant::platform {

void RecordingSoundSink::PlayAsync(const uint8_t* wav, size_t size) {
  Record(CallKind::Play, wav, size);
}

void RecordingSoundSink::Stop() {
  Record(CallKind::Stop, nullptr, 0);
}

void RecordingSoundSink::Record(CallKind kind, const uint8_t* wav, size_t size) {
  const uint32_t tick = GetTickCount();
  std::lock_guard lock(mutex_);
  calls_.push_back({kind, wav, size, tick});
  recorded_.notify_all();
}

std::vector<RecordingSoundSink::Call> RecordingSoundSink::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

size_t RecordingSoundSink::PlayCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(),
                                           [](const Call& c) { return c.kind == CallKind::Play; }));
}

void RecordingSoundSink::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

bool RecordingSoundSink::WaitForCalls(size_t count, uint32_t ms) const {
  std::unique_lock lock(mutex_);
  return recorded_.wait_for(lock, std::chrono::milliseconds(ms),
                            [&] { return calls_.size() >= count; });
}

}  // namespace ocuvant::platform
