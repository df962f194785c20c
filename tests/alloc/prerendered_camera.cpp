#include "tests/alloc/prerendered_camera.h"

#include <chrono>
#include <string>
#include <thread>

#include "control/ocuvant_ctrl.h"
#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_camera_controls.h"

namespace ocuvant::alloc_test {
namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

thread_local bool t_inDelivery = false;
thread_local bool t_hostLogLine = false;

// Lifecycle: Bound --Connect--> Connected --Start--> Streaming --Pause--> Paused
// --Start--> Streaming; Streaming/Paused --Stop--> Connected; destroyed from any.
class PrerenderedSource final : public capture::CaptureSource {
 public:
  PrerenderedSource(std::shared_ptr<FrameFeed> feed, uint32_t periodMs)
      : feed_(std::move(feed)), periodMs_(periodMs) {}
  ~PrerenderedSource() override { Stop(); }

  // The camera parameters of a session are applied as to any camera.
  capture::VideoProcAmp* ProcAmp() override { return &controls_; }
  capture::CameraControl* CameraControls() override { return &controls_; }
  int32_t Connect(int32_t* width, int32_t* height) override {
    *width = kWidth;
    *height = kHeight;
    return 0;
  }
  bool Start(capture::FrameSink* sink, std::string*) override {
    sink_.store(sink);
    paused_.store(false);
    if (!thread_.joinable()) {
      stop_.store(false);
      thread_ = std::thread([this] { Loop(); });
    }
    return true;
  }
  void Pause() override { paused_.store(true); }
  void Stop() override {
    stop_.store(true);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }
  bool OnStreamingThread() const override { return threadId_.load() == std::this_thread::get_id(); }

 private:
  void Loop() {
    threadId_.store(std::this_thread::get_id());
    double sampleTime = 0;
    while (!stop_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(periodMs_));
      capture::FrameSink* sink = sink_.load();
      if (sink == nullptr || paused_.load()) continue;
      Deliver(sink, sampleTime);
      sampleTime += periodMs_ / 1000.0;
    }
  }

  void Deliver(capture::FrameSink* sink, double sampleTime) {
    FrameRecord r;
    const std::vector<uint8_t>& frame = feed_->Next(&r.scene, &r.armedBefore);
    const control::COcuvantCtrl& ctrl = feed_->Control();
    const bool lightBefore = ctrl.m_fillLightOn.load();
    uint8_t* data = const_cast<uint8_t*>(frame.data());  // the sink only reads it

    t_hostLogLine = false;
    t_inDelivery = true;
    BeginCounting();
    sink->BufferCB(sampleTime, data, static_cast<long>(frame.size()));
    r.count = EndCounting();
    t_inDelivery = false;

    r.hostLogLine = t_hostLogLine;
    r.armedAfter = feed_->Armed();
    r.fillLightSwitched = !lightBefore && ctrl.m_fillLightOn.load();
    for (int eye = 0; eye < 2; ++eye) {
      r.matchProcessCode[eye] = ctrl.m_workflow.matchProcessCode[feed_->WatchedKind()][eye];
    }
    feed_->Record(r);
  }

  const std::shared_ptr<FrameFeed> feed_;
  const uint32_t periodMs_;
  simulator::VirtualCameraControls controls_;
  std::thread thread_;
  std::atomic<std::thread::id> threadId_{};
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  std::atomic<capture::FrameSink*> sink_{nullptr};
};

}  // namespace

FrameFeed::FrameFeed(std::vector<std::vector<uint8_t>> frames, std::vector<Scene> scenes,
                     std::vector<int> order, int idle, control::COcuvantCtrl* ctrl,
                     engine::TemplateKind watchedKind)
    : frames_(std::move(frames)),
      scenes_(std::move(scenes)),
      order_(std::move(order)),
      idle_(idle),
      ctrl_(ctrl),
      watchedKind_(watchedKind) {
  records_.reserve(kMaxRecords);
}

bool FrameFeed::Armed() const {
  return !ctrl_->m_framesIgnored.load() && ctrl_->m_sessionMode.load() != control::ModeIdle;
}

const std::vector<uint8_t>& FrameFeed::Next(Scene* scene, bool* armed) {
  *armed = Armed();
  const uint32_t generation = ctrl_->m_sessionGeneration.load();
  if (*armed && generation != generation_) {  // a new session or step
    generation_ = generation;
    position_ = 0;
  }
  const int index = *armed ? order_[position_++ % order_.size()] : idle_;
  *scene = scenes_[static_cast<size_t>(index)];
  return frames_[static_cast<size_t>(index)];
}

void FrameFeed::Record(const FrameRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (records_.size() < kMaxRecords) {
    records_.push_back(record);  // within the reserved capacity
  } else {
    unrecorded_.fetch_add(1);
  }
}

std::vector<FrameRecord> FrameFeed::Records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

void NoteHostLogLine() {
  if (t_inDelivery) t_hostLogLine = true;
}

PrerenderedBackend::PrerenderedBackend(std::shared_ptr<FrameFeed> feed, uint32_t periodMs)
    : feed_(std::move(feed)), periodMs_(periodMs) {}

void PrerenderedBackend::Enumerate(const std::shared_ptr<capture::CaptureBackend>& self,
                                   std::vector<capture::DeviceDescriptor>* out) {
  capture::DeviceDescriptor d;
  d.hasFriendlyName = true;
  d.friendlyName = "Prerendered Iris Camera";
  d.hasDevicePath = true;
  d.devicePath = simulator::kVirtualIrisCameraPath;
  d.locator = "prerendered:iris";
  d.backend = self;
  out->push_back(std::move(d));
}

std::unique_ptr<capture::CaptureSource> PrerenderedBackend::Bind(const capture::DeviceDescriptor&) {
  return std::make_unique<PrerenderedSource>(feed_, periodMs_);
}

}  // namespace ocuvant::alloc_test
