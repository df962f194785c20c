// Shared by the stress tests: an event sink that keeps every event with the thread it
// fired on, a guard that turns a hang into a report naming where it happened, and the
// sizes the tests take from the environment.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "control/events.h"

namespace ocuvant::stress {

struct StressEvent {
  std::string name;
  std::vector<int32_t> ints;                // integer arguments in order
  std::vector<std::string> strings;         // string arguments in order
  std::vector<std::vector<int32_t>> areas;  // template areas of the array events
  std::thread::id thread;                   // where it fired
};

// Records every event but the log lines; of those it only counts the ones watched.
class StressEvents final : public control::EventSink {
 public:
  // Log lines ("tag|text") whose occurrences are counted.
  explicit StressEvents(std::set<std::string> watchedLogs = {});

  void LogInfo(const std::string& tag, const std::string& log) override;
  void EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c, const int32_t* d,
                           const int32_t* e, const int32_t* f, int32_t r) override;
  void EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                           int32_t r) override;
  void EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                            int32_t r) override;
  void MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) override;
  void PhotoCaptureEvent(int32_t kind, const std::string& file) override;
  void EnrollBothIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                              const std::string& d, const std::string& e, const std::string& f,
                              int32_t r) override;
  void EnrollLeftIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                              int32_t r) override;
  void EnrollRightIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                               int32_t r) override;
  void CloseCameraEvent(int32_t kind, int32_t result) override;
  void InitCameraEvent(int32_t kind, int32_t result) override;

  std::vector<StressEvent> Events() const;
  size_t Size() const;
  size_t Count(const std::string& name) const;
  // Enrollment and match results, array and string forms, from event `from` on.
  std::vector<StressEvent> ResultsSince(size_t from) const;
  size_t LogCount(const std::string& tagAndText) const;

 private:
  void Add(StressEvent e);
  const std::set<std::string> watched_;
  mutable std::mutex mutex_;
  std::vector<StressEvent> events_;
  std::vector<size_t> logCounts_;  // per watched line, in the set's order
};

bool IsResultEvent(const std::string& name);

// Aborts the process with a report when the host's thread makes no progress for
// `limitMs`: a deadlock shows as a message naming the seed and the step instead of a
// test that runs into its time-out.
class HangGuard {
 public:
  explicit HangGuard(uint32_t limitMs);
  ~HangGuard();
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;
  // Says what the host's thread does from now on; every call counts as progress.
  void At(const std::string& where);

 private:
  void Watch();
  const uint32_t limitMs_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  uint64_t beats_ = 0;
  std::string where_;
  std::thread thread_;
};

// A positive count from the environment variable `name`, else `fallback`.
size_t EnvCount(const char* name, size_t fallback);

}  // namespace ocuvant::stress
