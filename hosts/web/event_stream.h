// The control's events for the page: each event becomes one Server-Sent Event with an
// increasing id, kept in a ring of the last kKept so a client that reconnects with
// Last-Event-ID gets what it missed. Publish may be called on any thread.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace ocuvant::web {

class EventStream {
 public:
  static constexpr size_t kKept = 256;

  // `json` is one line of JSON (no newline). Returns the event's id (1, 2, ...).
  uint64_t Publish(std::string json);

  // The SSE text of every event after `lastId`, up to `limit` events, and the id of
  // the last one taken (`lastId` when none). Events dropped from the ring before the
  // client saw them become one "gap" event carrying how many were lost. A `lastId`
  // newer than any event (the client saw a previous run) starts from the oldest kept.
  std::string Since(uint64_t lastId, uint64_t* newLastId, size_t limit = kKept) const;
  // Waits until an event after `lastId` exists or `ms` passed; true when one exists.
  bool WaitAfter(uint64_t lastId, uint32_t ms) const;
  uint64_t LastId() const;
  // Wakes every waiter (shutdown).
  void WakeAll();

 private:
  struct Entry {
    uint64_t id = 0;
    std::string json;
  };
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::array<Entry, kKept> ring_;
  uint64_t lastId_ = 0;
};

}  // namespace ocuvant::web
