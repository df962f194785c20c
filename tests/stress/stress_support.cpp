#include "tests/stress/stress_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include <unistd.h>

namespace ocuvant::stress {

StressEvents::StressEvents(std::set<std::string> watchedLogs)
    : watched_(std::move(watchedLogs)), logCounts_(watched_.size(), 0) {}

void StressEvents::Add(StressEvent e) {
  e.thread = std::this_thread::get_id();
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(std::move(e));
}

void StressEvents::LogInfo(const std::string& tag, const std::string& log) {
  const auto it = watched_.find(tag + "|" + log);
  if (it == watched_.end()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ++logCounts_[static_cast<size_t>(std::distance(watched_.begin(), it))];
}

namespace {
// The 256 integers of a template area (step 0 and step 1), empty for a null pointer.
std::vector<int32_t> Area(const int32_t* p) {
  return p != nullptr ? std::vector<int32_t>(p, p + 256) : std::vector<int32_t>();
}
}  // namespace

void StressEvents::EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                       const int32_t* d, const int32_t* e, const int32_t* f,
                                       int32_t r) {
  Add({"EnrollBothIrisEvent", {r}, {}, {Area(a), Area(b), Area(c), Area(d), Area(e), Area(f)}, {}});
}
void StressEvents::EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                       int32_t r) {
  Add({"EnrollLeftIrisEvent", {r}, {}, {Area(a), Area(b), Area(c)}, {}});
}
void StressEvents::EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                        int32_t r) {
  Add({"EnrollRightIrisEvent", {r}, {}, {Area(a), Area(b), Area(c)}, {}});
}
void StressEvents::MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) {
  Add({"MatchIrisEvent", {s, b, q, r}, {}, {}, {}});
}
void StressEvents::PhotoCaptureEvent(int32_t kind, const std::string& file) {
  Add({"PhotoCaptureEvent", {kind}, {file}, {}, {}});
}
void StressEvents::EnrollBothIrisStrEvent(const std::string& a, const std::string& b,
                                          const std::string& c, const std::string& d,
                                          const std::string& e, const std::string& f, int32_t r) {
  Add({"EnrollBothIrisStrEvent", {r}, {a, b, c, d, e, f}, {}, {}});
}
void StressEvents::EnrollLeftIrisStrEvent(const std::string& a, const std::string& b,
                                          const std::string& c, int32_t r) {
  Add({"EnrollLeftIrisStrEvent", {r}, {a, b, c}, {}, {}});
}
void StressEvents::EnrollRightIrisStrEvent(const std::string& a, const std::string& b,
                                           const std::string& c, int32_t r) {
  Add({"EnrollRightIrisStrEvent", {r}, {a, b, c}, {}, {}});
}
void StressEvents::CloseCameraEvent(int32_t kind, int32_t result) {
  Add({"CloseCameraEvent", {kind, result}, {}, {}, {}});
}
void StressEvents::InitCameraEvent(int32_t kind, int32_t result) {
  Add({"InitCameraEvent", {kind, result}, {}, {}, {}});
}

std::vector<StressEvent> StressEvents::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

size_t StressEvents::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_.size();
}

size_t StressEvents::Count(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(std::count_if(events_.begin(), events_.end(),
                                           [&](const StressEvent& e) { return e.name == name; }));
}

std::vector<StressEvent> StressEvents::ResultsSince(size_t from) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<StressEvent> out;
  for (size_t i = from; i < events_.size(); ++i) {
    if (IsResultEvent(events_[i].name)) out.push_back(events_[i]);
  }
  return out;
}

size_t StressEvents::LogCount(const std::string& tagAndText) const {
  const auto it = watched_.find(tagAndText);
  if (it == watched_.end()) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  return logCounts_[static_cast<size_t>(std::distance(watched_.begin(), it))];
}

bool IsResultEvent(const std::string& name) {
  static const std::set<std::string> kResults = {
      "EnrollBothIrisEvent",    "EnrollLeftIrisEvent",    "EnrollRightIrisEvent",
      "EnrollBothIrisStrEvent", "EnrollLeftIrisStrEvent", "EnrollRightIrisStrEvent",
      "MatchIrisEvent"};
  return kResults.count(name) > 0;
}

HangGuard::HangGuard(uint32_t limitMs) : limitMs_(limitMs), thread_([this] { Watch(); }) {}

HangGuard::~HangGuard() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void HangGuard::At(const std::string& where) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++beats_;
    where_ = where;
  }
  changed_.notify_all();
}

void HangGuard::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    const uint64_t seen = beats_;
    const bool progressed = changed_.wait_for(lock, std::chrono::milliseconds(limitMs_),
                                              [&] { return stop_ || beats_ != seen; });
    if (!progressed) {
      std::fprintf(stderr, "HANG: no progress for %u ms at: %s\n", limitMs_, where_.c_str());
      std::fflush(stderr);
      // Every thread's stack, where a debugger is at hand: what waits for what.
      const std::string command = "gdb -p " + std::to_string(::getpid()) +
                                  " -batch -ex 'thread apply all bt' 1>&2 2>/dev/null";
      if (std::system(command.c_str()) != 0) std::fprintf(stderr, "(no stacks: gdb failed)\n");
      std::abort();
    }
  }
}

size_t EnvCount(const char* name, size_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text, &end, 10);
  return end != nullptr && *end == '\0' && n > 0 ? static_cast<size_t>(n) : fallback;
}

}  // namespace ocuvant::stress
