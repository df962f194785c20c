#include "hosts/ocuvant/iris_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "control/events.h"
#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/simulated_devices.h"
#include "platform/thread.h"

namespace ocuvant::host {

using control::COcuvantCtrl;

// Events of the running session, kept until the next one starts (host's thread).
class IrisSink final : public control::EventSink {
 public:
  void Reset() {
    enrolled = matched = closed = false;
    enroll = EnrollOutcome{};
    match = MatchOutcome{};
  }
  void EnrollBothIrisEvent(const int32_t* ls, const int32_t* rs, const int32_t* lb,
                           const int32_t* rb, const int32_t* lq, const int32_t* rq,
                           int32_t r) override {
    const int32_t* areas[3][2] = {{ls, rs}, {lb, rb}, {lq, rq}};
    Keep(areas[kind][0], areas[kind][1], r);
  }
  void EnrollLeftIrisEvent(const int32_t* s, const int32_t* b, const int32_t* q,
                           int32_t r) override {
    const int32_t* areas[3] = {s, b, q};
    Keep(areas[kind], nullptr, r);
  }
  void EnrollRightIrisEvent(const int32_t* s, const int32_t* b, const int32_t* q,
                            int32_t r) override {
    const int32_t* areas[3] = {s, b, q};
    Keep(nullptr, areas[kind], r);
  }
  void MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) override {
    match.result = r;
    match.index[0] = s;
    match.index[1] = b;
    match.index[2] = q;
    matched = true;
  }
  void CloseCameraEvent(int32_t cameraKind, int32_t) override {
    if (cameraKind == control::kClosedIrisCamera) closed = true;
  }

  int kind = 1;
  bool enrolled = false, matched = false, closed = false;
  EnrollOutcome enroll;
  MatchOutcome match;

 private:
  void Keep(const int32_t* left, const int32_t* right, int32_t r) {
    enroll.result = r;
    // The areas belong to the control and are overwritten by the next enrollment.
    if (left != nullptr) std::memcpy(enroll.templates[0].data(), left, 1024);
    if (right != nullptr) std::memcpy(enroll.templates[1].data(), right, 1024);
    enrolled = true;
  }
};

namespace {

// The three virtual cameras, the iris camera showing person `seed` doing `script`.
bool InstallPerson(SimulatedDevices& sim, uint64_t seed, const std::string& script,
                   const std::string& replayDirectory, std::string* error) {
  simulator::VirtualCameraConfig config;
  config.subjectSeed = seed;
  config.script = script;
  config.replayDirectory = replayDirectory;
  return sim.Install(std::move(config), error);
}

}  // namespace

IrisHost::IrisHost(const IrisOptions& options, bool progress)
    : options_(options), progress_(progress) {
  if (options_.simulator || !CameraAttached(COcuvantCtrl::kDefaultIrisCameraId)) {
    sim_ = std::make_unique<SimulatedDevices>();
    std::string error;
    if (!InstallPerson(*sim_, options_.seed, options_.script, options_.replayDirectory, &error)) {
      setupError_ = "simulator: " + error;
    }
  }
  ctrl_ = COcuvantCtrl::Create();
  sink_ = std::make_unique<IrisSink>();
  sink_->kind = options_.kind;
  ctrl_->SetEventSink(sink_.get());
  ctrl_->SetBurger(ConfigurationFor(options_.kind));
  if (options_.timeoutSec > 0) {
    ctrl_->SetEnrollIrisTimeout(options_.timeoutSec);
    ctrl_->SetMatchIrisTimeout(options_.timeoutSec);
  }
}

IrisHost::~IrisHost() {
  ctrl_->SetEventSink(nullptr);
  ctrl_.reset();
  sim_.reset();
}

bool IrisHost::Simulated() const {
  return sim_ != nullptr;
}

bool IrisHost::SetSimulatedPerson(uint64_t seed, const std::string& script, std::string* error) {
  if (!sim_) {
    *error = "not running on the simulator";
    return false;
  }
  return InstallPerson(*sim_, seed, script, "", error);
}

bool IrisHost::SetSimulatedReplay(const std::string& directory, std::string* error) {
  if (!sim_) {
    *error = "not running on the simulator";
    return false;
  }
  return InstallPerson(*sim_, options_.seed, "", directory, error);
}

void IrisHost::SetMatchTimeout(int32_t seconds) {
  ctrl_->SetMatchIrisTimeout(seconds);
}

bool IrisHost::WaitFor(bool (*done)(const IrisSink&), uint32_t limitMs, bool showProgress) {
  const uint32_t start = platform::GetTickCount();
  uint32_t lastShown = start - 1000;
  while (!done(*sink_)) {
    if (platform::TicksSince(start) > limitMs) return false;
    ctrl_->ControlWindow().Pump(50);
    if (progress_ && showProgress && platform::TicksSince(lastShown) >= 250) {
      lastShown = platform::GetTickCount();
      ShowProgress(mode_ != control::ModeMatch, false);
    }
  }
  if (progress_ && showProgress) ShowProgress(mode_ != control::ModeMatch, true);
  return true;
}

EnrollOutcome IrisHost::Enroll(control::SessionMode mode) {
  sink_->Reset();
  lastStep_ = 0;
  mode_ = mode;
  EnrollOutcome out;
  out.result = ctrl_->InitIris();
  if (out.result != 1) return out;
  const int32_t started = mode == control::ModeEnrollBoth   ? ctrl_->EnrollBothIris()
                          : mode == control::ModeEnrollLeft ? ctrl_->EnrollLeftIris()
                                                            : ctrl_->EnrollRightIris();
  if (started != 1) {
    out.result = started;
    ctrl_->StopIris();
    return out;
  }
  // Two steps, the 1 s pause between them and the 5 s camera wait, with room to spare:
  // the host never waits for ever for an event.
  const uint32_t limit = static_cast<uint32_t>(ctrl_->GetEnrollIrisTimeout()) * 2000u + 15000u;
  if (!WaitFor([](const IrisSink& s) { return s.enrolled; }, limit, true)) {
    out.result = -1;
    ctrl_->StopIris();
    WaitFor([](const IrisSink& s) { return s.closed; }, 3000, false);
    return out;
  }
  WaitFor([](const IrisSink& s) { return s.closed; }, 3000, false);
  out = sink_->enroll;
  out.closed = sink_->closed;
  return out;
}

MatchOutcome IrisHost::Match(const std::vector<int32_t>& db, int32_t count) {
  sink_->Reset();
  mode_ = control::ModeMatch;
  MatchOutcome out;
  out.result = ctrl_->InitIris();
  if (out.result != 1) return out;
  const int32_t* dbs[3] = {nullptr, nullptr, nullptr};
  int32_t counts[3] = {0, 0, 0};
  dbs[options_.kind] = db.data();
  counts[options_.kind] = count;
  const int32_t started =
      ctrl_->MatchIris(dbs[0], counts[0], dbs[1], counts[1], dbs[2], counts[2], 0, 0);
  if (started != 1) {
    out.result = started;
    ctrl_->StopIris();
    WaitFor([](const IrisSink& s) { return s.closed; }, 3000, false);
    return out;
  }
  const uint32_t limit = static_cast<uint32_t>(ctrl_->GetMatchIrisTimeout()) * 1000u + 15000u;
  if (!WaitFor([](const IrisSink& s) { return s.matched; }, limit, true)) {
    out.result = -1;
    ctrl_->StopIris();
    WaitFor([](const IrisSink& s) { return s.closed; }, 3000, false);
    return out;
  }
  WaitFor([](const IrisSink& s) { return s.closed; }, 3000, false);
  out = sink_->match;
  out.closed = sink_->closed;
  return out;
}

const char* RejectionWords(int32_t code) {
  switch (code) {
    case 0:
      return "-";
    case -1:
    case -2:
      return "out of focus";
    case -3:
    case -4:
    case -5:
    case -6:
    case -7:
    case -25:
      return "pupil not found";
    case -9:
      return "pupil too faint";
    case -11:
      return "look straight into the camera";
    case -13:
      return "eye too near the image edge";
    case -14:
      return "too near or too far";
    case -15:
    case -16:
      return "iris not found";
    case -17:
      return "iris edge too faint";
    case -18:
      return "open your eyes wider";
    case -19:
      return "iris covered by the eyelids";
    case -20:
      return "too little iris texture";
    case -24:
      return "hold still";
    case -30:
    case -31:
      return "iris too bright or too dark";
    default:
      return "image not usable";
  }
}

void IrisHost::ShowProgress(bool enroll, bool final) {
  const COcuvantCtrl& c = *ctrl_;
  const int kind = options_.kind;
  const uint32_t elapsed = platform::TicksSince(c.m_sessionStartTick.load());
  const bool armed = c.m_sessionMode.load() != control::ModeIdle;
  const int32_t timeoutMs = (enroll ? c.GetEnrollIrisTimeout() : c.GetMatchIrisTimeout()) * 1000;
  const int32_t leftMs =
      armed ? std::max<int32_t>(0, timeoutMs - static_cast<int32_t>(elapsed)) : 0;
  std::string line;
  char part[160];
  if (final) {
    // The session is over (the control is idle again): the step that ended and how.
    if (enroll) {
      const int32_t r = sink_->enroll.result;
      std::snprintf(part, sizeof part, "step %d/2 %s", lastStep_ > 0 ? lastStep_ : 1,
                    r == 1 ? "done | enrolled" : "ended | enrollment failed");
      line = part;
      if (r != 1) line += " (result " + std::to_string(r) + ")";
    } else {
      const int32_t r = sink_->match.result;
      line = r > 0 ? "identification done | identified (result " + std::to_string(r) + ")"
                   : "identification ended | nobody identified (result " + std::to_string(r) + ")";
    }
  } else if (enroll) {
    if (armed) lastStep_ = c.m_enrollStep.load() + 1;
    std::snprintf(part, sizeof part, "step %d/2", c.m_enrollStep.load() + 1);
    line = part;
    for (int eye = 0; eye < 2; ++eye) {
      if ((mode_ == control::ModeEnrollLeft && eye == 1) ||
          (mode_ == control::ModeEnrollRight && eye == 0)) {
        continue;
      }
      const control::EyeProgress& p = c.m_workflow.progress[kind][eye];
      const int32_t step = p.stepResult.load();
      if (step == 1) {
        std::snprintf(part, sizeof part, " | %s: done", eye == 0 ? "left" : "right");
      } else {
        std::snprintf(part, sizeof part, " | %s: %d/3 accepted (batch %d), last: %s",
                      eye == 0 ? "left" : "right", p.accepted.load(), p.failedBatches.load() + 1,
                      RejectionWords(p.lastRejection.load()));
      }
      line += part;
    }
  } else {
    lastStep_ = 0;
    std::snprintf(part, sizeof part, "identifying | left: %s | right: %s",
                  RejectionWords(c.m_workflow.progress[kind][0].lastRejection.load()),
                  RejectionWords(c.m_workflow.progress[kind][1].lastRejection.load()));
    line = part;
  }
  if (!final) {
    std::snprintf(part, sizeof part, " | %s", armed ? "" : "waiting");
    if (armed) std::snprintf(part, sizeof part, " | %d s left", (leftMs + 999) / 1000);
    line += part;
  }
  const bool tty = isatty(STDERR_FILENO) != 0;
  if (line != lastProgress_ || final) {
    if (tty) {
      std::fprintf(stderr, "\r\033[K%s%s", line.c_str(), final ? "\n" : "");
    } else if (line != lastProgress_) {
      std::fprintf(stderr, "%s\n", line.c_str());
    }
    lastProgress_ = line;
  }
}

}  // namespace ocuvant::host
