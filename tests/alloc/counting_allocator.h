// Global operator new and delete (every form) are replaced in this test program by
// versions that count, per thread, what they do while counting is switched on for
// that thread. Other threads and uncounted stretches are not affected.
#pragma once

#include <cstdint>

namespace ocuvant::alloc_test {

struct AllocationCount {
  int64_t allocations = 0;
  int64_t deallocations = 0;
};

// Starts counting on the calling thread (from zero).
void BeginCounting();
// Stops counting on the calling thread and returns what was counted.
AllocationCount EndCounting();

// Suspends counting on the calling thread for its lifetime (work of the test's own
// stand-ins inside a counted stretch).
class UncountedScope {
 public:
  UncountedScope();
  ~UncountedScope();
  UncountedScope(const UncountedScope&) = delete;
  UncountedScope& operator=(const UncountedScope&) = delete;

 private:
  bool wasCounting_;
};

}  // namespace ocuvant::alloc_test
