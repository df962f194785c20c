// `ocuvant record DIR [--seconds N]`: the live iris camera's frames into a folder, one
// file a frame, in the form `--simulator=replay=DIR` plays (the control's grey frame:
// 1920 x 1080 bytes, top row first, mirrored, as its realtime captures are written).
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_hooks.h"
#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/json_line.h"
#include "hosts/ocuvant/simulated_devices.h"
#include "platform/thread.h"
#include "session/iris_pipeline.h"

namespace ocuvant::host {
namespace {

const char* const kUsage =
    "usage: ocuvant record DIR [--seconds N] [--simulator [SEED] | --simulator=subject=N]\n"
    "Records the iris camera's frames for N seconds (default 10, at most 600) into DIR\n"
    "(created when missing), one file of 1920 x 1080 grey bytes a frame, named\n"
    "frame_000001.raw, ...; `ocuvant enroll --simulator=replay=DIR` and the other iris\n"
    "commands play them back. About 2 MB a frame: 60 MB a second at 30 frames a second.\n"
    "  --simulator            record the simulated camera (person SEED or N) instead\n"
    "Exit status: 0 recorded, 1 the camera failed or a file could not be written, 2 usage\n"
    "or no iris camera.";

constexpr int32_t kMaxSeconds = 600;

// Frame writer on the camera's streaming thread.
struct Recording {
  std::string directory;
  std::vector<uint8_t> grey = std::vector<uint8_t>(session::kGreyFrameBytes);
  std::atomic<uint32_t> written{0};
  std::atomic<bool> failed{false};
  std::atomic<bool> lost{false};
  std::string failure;  // set once, before `failed`

  void Frame(const uint8_t* data, long length) {
    if (failed.load() || length != static_cast<long>(session::kIrisFrameBytes)) return;
    session::MirroredGreyFromBottomUpBgr(data, grey.data());
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06u.raw", written.load() + 1);
    const std::string path = directory + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f != nullptr && std::fwrite(grey.data(), 1, grey.size(), f) == grey.size();
    if (f != nullptr && std::fclose(f) != 0) failure = path + ": " + std::strerror(errno);
    if (!ok || !failure.empty()) {
      if (failure.empty()) failure = path + ": " + std::strerror(errno);
      failed.store(true);
      return;
    }
    written.fetch_add(1);
  }
};

int RunRecord(const std::vector<std::string>& args) {
  std::string directory;
  int32_t seconds = 10;
  SimulatorOption simulator;
  auto usage = [](const std::string& why) {
    std::fprintf(stderr, "ocuvant record: %s\n%s\n", why.c_str(), kUsage);
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (a == "--seconds") {
      if (i + 1 >= args.size() || !ParseInt32(args[++i], &seconds) || seconds < 1 ||
          seconds > kMaxSeconds) {
        return usage("--seconds takes whole seconds from 1 to 600");
      }
    } else if (ParseSimulatorFlag(a, &simulator, &error)) {
      if (!simulator.replayDirectory.empty()) return usage("a replay cannot be recorded");
      if (a == "--simulator" && i + 1 < args.size() && ParseSeed(args[i + 1], &simulator.seed)) {
        ++i;
      }
    } else if (!error.empty()) {
      return usage(error);
    } else if (a.starts_with("-") || !directory.empty()) {
      return usage("unexpected argument '" + a + "'");
    } else {
      directory = a;
    }
  }
  if (directory.empty()) return usage("no DIR given");
  if (::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "ocuvant record: cannot create %s: %s\n", directory.c_str(),
                 std::strerror(errno));
    return 1;
  }

  std::unique_ptr<SimulatedDevices> sim;
  if (simulator.enabled) {
    sim = std::make_unique<SimulatedDevices>();
    std::string error;
    if (!sim->Install(simulator, &error)) {
      std::fprintf(stderr, "ocuvant record: simulator: %s\n", error.c_str());
      return 2;
    }
  }
  Recording recording;
  recording.directory = directory;
  capture::CaptureHooks hooks;
  hooks.context = &recording;
  hooks.onFrame = [](void* c, const uint8_t* data, long length, capture::FrameRoute) {
    static_cast<Recording*>(c)->Frame(data, length);
  };
  hooks.logIfEnabled = [](void*, const char* text, const char* tag) {
    std::fprintf(stderr, "[%s] %s\n", tag, text);
  };
  hooks.logAlways = hooks.logIfEnabled;
  hooks.cameraLost = [](void* c, const char*) { static_cast<Recording*>(c)->lost.store(true); };
  capture::InstallCaptureHooks(&hooks);

  int status = 0;
  {
    capture::CCaptureVideo camera;
    const int32_t index = camera.FindDeviceByPath(control::COcuvantCtrl::kDefaultIrisCameraId);
    if (index < 0) {
      std::fprintf(stderr, "ocuvant record: no iris camera attached (try --simulator)\n");
      status = 2;
    } else if (const int32_t opened =
                   camera.Open(index, nullptr, capture::IrisFrames, "IrisHandle");
               opened != 0) {
      std::fprintf(stderr, "ocuvant record: the iris camera cannot be opened (%d)\n", opened);
      status = 1;
    } else if (camera.Run() != 1) {
      std::fprintf(stderr, "ocuvant record: the iris camera does not start\n");
      status = 1;
    } else {
      std::fprintf(stderr, "Recording the %s for %d s into %s\n",
                   sim ? "simulated iris camera" : "iris camera", seconds, directory.c_str());
      const uint32_t start = platform::GetTickCount();
      while (platform::TicksSince(start) < static_cast<uint32_t>(seconds) * 1000u &&
             !recording.failed.load() && !recording.lost.load()) {
        platform::Sleep(20);
      }
    }
    camera.Close();
  }
  capture::InstallCaptureHooks(nullptr);
  if (status != 0) return status;
  if (recording.failed.load()) {
    std::fprintf(stderr, "ocuvant record: %s\n", recording.failure.c_str());
    return 1;
  }
  if (recording.lost.load()) std::fprintf(stderr, "ocuvant record: the camera stopped\n");
  std::printf("recorded %u frames into %s\n", recording.written.load(), directory.c_str());
  return recording.written.load() > 0 ? 0 : 1;
}

CommandRegistrar reg({"record", "record the iris camera's frames for replay (--simulator=replay)",
                      kUsage, &RunRecord});

}  // namespace
}  // namespace ocuvant::host
