// `ocuvant face-enroll`: opens the infrared camera, starts the face enrollment, shows
// the position hints as they come and reports the outcome. With no infrared camera
// attached (or with --simulator) a virtual infrared camera shows a scripted face.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "capture/capture_registry.h"
#include "control/ocuvant_ctrl.h"
#include "device/hid_transport.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/simulated_devices.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::host {
namespace {

const char* const kUsage =
    "usage: ocuvant face-enroll [--simulator [SEED|SCRIPT] | --simulator=subject=N |\n"
    "                            --simulator=replay=DIR] [--timeout SECONDS]\n"
    "Opens the infrared camera, starts the face enrollment and prints the position hints\n"
    "until five faces are enrolled, the session goes idle (10 s without a hint) or the\n"
    "time-out (default 30 s) passes. The face library \"TravexFace(32bit).so\" is loaded\n"
    "from the program's folder.\n"
    "  --simulator SCRIPT  use a virtual infrared camera showing SCRIPT (the default\n"
    "                      when no infrared camera is attached), e.g.\n"
    "                      \"face 100 240 200 240 for 2000; face 240 250 240 300\"\n"
    "                      (face CX CY W H [pose P] [person S] [for MS]; gone [for MS]);\n"
    "                      without SCRIPT a face that moves into place; SEED or N picks\n"
    "                      the person of that face (replay=DIR concerns the iris camera)\n"
    "Exit status: 0 enrolled, 1 not enrolled, 2 usage.";

// A face that comes in from the side, too far, turned, then in place; `person` picks
// the simulated person (0: the scene's own).
std::string DefaultScript(uint64_t person) {
  const std::string p = person == 0 ? "" : " person " + std::to_string(person);
  return "gone for 1000; face 100 240 200 240" + p + " for 2500; face 240 250 160 200" + p +
         " for 2500; face 240 250 240 300 pose 40" + p + " for 4000; face 240 250 240 300" + p;
}

class FaceSink : public control::EventSink {
 public:
  void LogInfo(const std::string& tag, const std::string& log) override {
    if (tag == "face") std::fprintf(stderr, "  %s\n", log.c_str());
  }
  void CloseCameraEvent(int32_t kind, int32_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = closed_ || kind == control::kClosedFaceCamera;
  }
  bool Closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
  }

 private:
  mutable std::mutex mutex_;
  bool closed_ = false;
};

bool InfraredCameraAttached(const std::string& fragment) {
  for (const capture::DeviceDescriptor& d : capture::EnumerateCaptureDevices()) {
    if (d.devicePath.find(fragment) != std::string::npos) return true;
  }
  return false;
}

const char* LoadFailure(int32_t r) {
  switch (r) {
    case -51:
      return "the face library \"TravexFace(32bit).so\" is not in the program's folder";
    case -52:
      return "the face library has no TravexFaceEnroll";
    case -53:
      return "the face library has no TravexFaceMakeTemplateWithDetail";
    default:
      return nullptr;
  }
}

int RunFaceEnroll(const std::vector<std::string>& args) {
  std::string script;
  bool simulate = false;
  SimulatorOption simulator;
  uint64_t person = 0;
  long timeoutSec = 30;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--timeout" && i + 1 >= args.size()) {
      std::fprintf(stderr, "ocuvant face-enroll: %s needs a value\n%s\n", a.c_str(), kUsage);
      return 2;
    }
    std::string error;
    if (ParseSimulatorFlag(a, &simulator, &error)) {
      simulate = true;
      if (a != "--simulator") {
        if (simulator.replayDirectory.empty()) person = simulator.seed;
      } else if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
        // A bare flag may be followed by the person's number or a whole script.
        if (!ParseSeed(args[++i], &person)) script = args[i];
      }
    } else if (!error.empty()) {
      std::fprintf(stderr, "ocuvant face-enroll: %s\n%s\n", error.c_str(), kUsage);
      return 2;
    } else if (a == "--timeout") {
      char* end = nullptr;
      timeoutSec = std::strtol(args[++i].c_str(), &end, 10);
      if (*end != '\0' || timeoutSec < 1 || timeoutSec > 3600) {
        std::fprintf(stderr, "ocuvant face-enroll: --timeout takes 1 to 3600 seconds\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "%s\n", kUsage);
      return a == "--help" ? 0 : 2;
    }
  }
  platform::SetMessageBoxHandler([](const std::string& text, const std::string&) {
    std::fprintf(stderr, "[message] %s\n", text.c_str());
  });
  simulator::VirtualIlluminator illuminator;
  const bool simulated =
      simulate || !InfraredCameraAttached(control::COcuvantCtrl::kDefaultInfraredCameraId);
  if (simulated) {
    simulator::VirtualCameraConfig cameras;
    cameras.irisCamera = false;
    cameras.faceScript = script.empty() ? DefaultScript(person) : script;
    cameras.replayDirectory = simulator.replayDirectory;
    std::string error;
    if (!simulator::InstallVirtualCameras(cameras, &error)) {
      std::fprintf(stderr, "ocuvant face-enroll: %s\n", error.c_str());
      return 2;
    }
    device::InstallHidTransport(&illuminator);
  }
  int status = 1;
  {
    FaceSink sink;
    auto ctrl = control::COcuvantCtrl::Create();
    ctrl->SetEventSink(&sink);
    ctrl->SetBurger("{\"log\":\"1\",\"with_big_iris\":\"1\"}");
    auto pump = [&](auto done, uint32_t ms) {
      const uint32_t start = platform::GetTickCount();
      while (!done() && platform::TicksSince(start) <= ms) ctrl->ControlWindow().Pump(20);
      return done();
    };
    std::fprintf(stderr, "Infrared face enrollment (%s)\n",
                 simulated ? "simulator" : "infrared camera");
    const int32_t init = ctrl->InitInfraredFace();
    if (const char* why = LoadFailure(init)) {
      std::printf("not enrolled: %s (%d)\n", why, static_cast<int>(init));
    } else if (const int32_t run = ctrl->EnrollInfraredFace(); run != 1) {
      std::printf("not enrolled: the infrared camera did not start (%d)\n", static_cast<int>(run));
    } else {
      using session::FaceCollecting;
      pump([&] { return ctrl->m_face.State().collecting != FaceCollecting::Collecting; },
           static_cast<uint32_t>(timeoutSec * 1000));
      const session::FaceState s = ctrl->m_face.State();
      if (s.collecting == FaceCollecting::Enrolled) {
        std::printf("enrolled: %d faces\n", static_cast<int>(s.templateCount));
        status = 0;
      } else if (s.collecting == FaceCollecting::Idle) {
        std::printf("not enrolled: no position hint for 10 s, %d of 5 faces\n",
                    static_cast<int>(s.templateCount));
      } else {
        std::printf("not enrolled: time-out, %d of 5 faces\n", static_cast<int>(s.templateCount));
      }
    }
    ctrl->CloseInfraredFace();
    pump([&] { return sink.Closed(); }, 3000);
    ctrl->SetEventSink(nullptr);
  }
  if (simulated) {
    simulator::RemoveVirtualCameras();
    device::InstallHidTransport(nullptr);
  }
  platform::SetMessageBoxHandler(nullptr);
  return status;
}

static CommandRegistrar reg({"face-enroll",
                             "infrared face enrollment with position hints (simulator when no "
                             "infrared camera)",
                             kUsage, &RunFaceEnroll});

}  // namespace
}  // namespace ocuvant::host
