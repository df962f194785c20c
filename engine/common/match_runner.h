// The seam through which MatchTemplate spreads a large database over several threads.
// The engines own no threads: whoever owns a thread pool (the session layer, a tool)
// hands it in as a MatchRunner; without one every scan runs on the calling thread.
#pragma once

#include <cstdint>

namespace ocuvant::engine {

class MatchRunner {
 public:
  // Threads that Run uses, the calling thread included (at least 1).
  virtual int32_t Threads() const = 0;
  // Calls work(context) once on each of Threads() threads, the calling thread among them,
  // and returns when every call has returned. Must not allocate. A runner already busy
  // with another caller may run the one call on the calling thread instead.
  virtual void Run(void (*work)(void* context), void* context) = 0;

 protected:
  ~MatchRunner() = default;
};

// Databases of at least `minTemplates` templates are split over `runner` (nullptr: none).
// Set once before matching starts (engine initialisation); not while a scan runs.
void SetMatchRunner(MatchRunner* runner, int32_t minTemplates);
MatchRunner* CurrentMatchRunner();
int32_t MatchRunnerMinTemplates();

}  // namespace ocuvant::engine
