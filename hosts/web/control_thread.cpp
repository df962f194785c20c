#include "hosts/web/control_thread.h"

#include <cstring>

#include "control/ocuvant_ctrl.h"

namespace ocuvant::web {

class ControlThread::Sink final : public control::GenericEventSink {
 public:
  explicit Sink(ControlThread& owner) : owner_(owner) {}
  void OnEvent(int32_t dispid, const char* name, const std::vector<control::Value>& args) override {
    if (owner_.observer_) owner_.observer_(dispid, name, args);
    // Fired on the host's thread once the match has ended: its databases are free
    // (before the event is out, so a client that saw it sees them released).
    if (std::strcmp(name, "MatchIrisEvent") == 0) {
      owner_.runningDb_.clear();
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      owner_.keptCount_ = owner_.refusedDb_.size();
    }
    owner_.events_.Publish(EventJson(dispid, name, args));
  }

 private:
  ControlThread& owner_;
};

ControlThread::ControlThread(EventStream& events,
                             std::function<void(control::COcuvantCtrl&)> configure,
                             EventObserver observer,
                             std::function<void(control::COcuvantCtrl&)> idle)
    : events_(events),
      observer_(std::move(observer)),
      idle_(std::move(idle)),
      sink_(std::make_unique<Sink>(*this)) {
  thread_ = std::thread([this, configure = std::move(configure)] { Loop(configure); });
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return ready_; });
}

ControlThread::~ControlThread() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void ControlThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

void ControlThread::Loop(std::function<void(control::COcuvantCtrl&)> configure) {
  std::unique_ptr<control::COcuvantCtrl> ctrl = control::COcuvantCtrl::Create();
  ctrl->SetEventSink(sink_.get());
  if (configure) configure(*ctrl);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_ = true;
  }
  changed_.notify_all();
  while (true) {
    std::deque<std::function<void(control::COcuvantCtrl*)>> tasks;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      tasks.swap(tasks_);
    }
    for (auto& t : tasks) t(ctrl.get());
    if (idle_) idle_(*ctrl);
    // Messages of the control; a queued call waits at most this long.
    ctrl->ControlWindow().Pump(5);
  }
  // Calls queued during shutdown are answered without the control.
  std::deque<std::function<void(control::COcuvantCtrl*)>> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    left.swap(tasks_);
  }
  for (auto& t : left) t(nullptr);
  ctrl->SetEventSink(nullptr);
  ctrl.reset();
  // The control is gone: nothing reads the databases any more.
  runningDb_.clear();
  refusedDb_.clear();
}

bool ControlThread::Run(const std::function<void(control::COcuvantCtrl&)>& task) {
  std::mutex doneMutex;
  std::condition_variable doneChanged;
  bool done = false, ran = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    tasks_.push_back([&](control::COcuvantCtrl* c) {
      if (c != nullptr) task(*c);
      std::lock_guard<std::mutex> l(doneMutex);
      ran = c != nullptr;
      done = true;
      doneChanged.notify_all();
    });
  }
  std::unique_lock<std::mutex> lock(doneMutex);
  doneChanged.wait(lock, [&] { return done; });
  return ran;
}

control::InvokeResult ControlThread::Invoke(BridgeCall call) {
  control::InvokeResult result;
  const bool match = call.entry->kind == control::MemberKind::Method &&
                     std::strcmp(call.entry->name, "MatchIris") == 0;
  const bool ran = Run([&](control::COcuvantCtrl& c) {
    result = control::Invoke(c, call.entry->dispid, call.kind, call.args);
    if (!match) return;
    // A started match (1) reads its databases until MatchIrisEvent.
    const bool started = result.ok() && std::get<int32_t>(result.value) == 1;
    if (started) {
      runningDb_ = std::move(call.arrays);
      refusedDb_.clear();
    } else {
      refusedDb_ = std::move(call.arrays);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    keptCount_ = runningDb_.size() + refusedDb_.size();
  });
  if (!ran) return {static_cast<control::HRESULT>(0x8000FFFFu), {}, "the server is stopping"};
  return result;
}

size_t ControlThread::KeptDatabases() {
  std::lock_guard<std::mutex> lock(mutex_);
  return keptCount_;
}

}  // namespace ocuvant::web
