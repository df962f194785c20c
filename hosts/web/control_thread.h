// The control on a thread of its own (the host's thread of this host): created there,
// its message loop pumped there, every call from the HTTP workers run there. Events
// go to the event stream as JSON; MatchIris databases sent by a client stay alive
// until MatchIrisEvent.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "control/events.h"
#include "control/invoke.h"
#include "hosts/web/event_stream.h"
#include "hosts/web/invoke_bridge.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::web {

// Sees every event on the thread that fired it, before it is published.
using EventObserver =
    std::function<void(int32_t dispid, const char* name, const std::vector<control::Value>& args)>;

class ControlThread {
 public:
  // `configure` runs on the host's thread right after the control is created.
  // `idle` runs on the host's thread every turn of the loop (a few milliseconds).
  ControlThread(EventStream& events, std::function<void(control::COcuvantCtrl&)> configure,
                EventObserver observer = nullptr,
                std::function<void(control::COcuvantCtrl&)> idle = nullptr);
  ~ControlThread();  // stops the loop; the control is destroyed on its thread
  ControlThread(const ControlThread&) = delete;
  ControlThread& operator=(const ControlThread&) = delete;

  // Runs `task` on the host's thread and waits for it; false when the thread stopped.
  bool Run(const std::function<void(control::COcuvantCtrl&)>& task);
  // One bridge call through Invoke on the host's thread.
  control::InvokeResult Invoke(BridgeCall call);
  // Stops taking calls (they fail at once) and ends the loop.
  void Stop();

  // How many database sets are kept for a running match (tests).
  size_t KeptDatabases();

 private:
  class Sink;
  void Loop(std::function<void(control::COcuvantCtrl&)> configure);

  EventStream& events_;
  EventObserver observer_;
  std::function<void(control::COcuvantCtrl&)> idle_;
  std::unique_ptr<Sink> sink_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void(control::COcuvantCtrl*)>> tasks_;
  bool stopping_ = false;
  bool ready_ = false;
  // Host's thread only: the databases of the match that runs, and of the last call
  // that was refused (the control may still hold its pointers, unused).
  std::vector<std::shared_ptr<const std::vector<int32_t>>> runningDb_;
  std::vector<std::shared_ptr<const std::vector<int32_t>>> refusedDb_;
  size_t keptCount_ = 0;
  std::thread thread_;
};

}  // namespace ocuvant::web
