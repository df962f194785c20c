#include "hosts/web/event_stream.h"

#include <chrono>

namespace ocuvant::web {

uint64_t EventStream::Publish(std::string json) {
  uint64_t id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = ++lastId_;
    Entry& e = ring_[id % kKept];
    e.id = id;
    e.json = std::move(json);
  }
  changed_.notify_all();
  return id;
}

std::string EventStream::Since(uint64_t lastId, uint64_t* newLastId, size_t limit) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t oldest = lastId_ >= kKept ? lastId_ - kKept + 1 : 1;
  if (lastId > lastId_) lastId = oldest - 1;
  std::string out;
  uint64_t from = lastId + 1;
  if (from < oldest) {
    out += "event: gap\ndata: {\"lost\":" + std::to_string(oldest - from) + "}\n\n";
    from = oldest;
  }
  uint64_t id = from;
  for (size_t n = 0; id <= lastId_ && n < limit; ++id, ++n) {
    const Entry& e = ring_[id % kKept];
    out += "id: " + std::to_string(e.id) + "\ndata: " + e.json + "\n\n";
  }
  *newLastId = id - 1 < lastId ? lastId : id - 1;
  return out;
}

bool EventStream::WaitAfter(uint64_t lastId, uint32_t ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                           [&] { return lastId_ > lastId || lastId > lastId_; });
}

uint64_t EventStream::LastId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastId_;
}

void EventStream::WakeAll() {
  changed_.notify_all();
}

}  // namespace ocuvant::web
