// `ocuvant photo`: one portrait photo through the control's photo methods
// (InitPhotoCapture, PhotoCapture, ClosePhotoCapture), written as a BMP file. With no
// such camera attached (or with --simulator) a virtual photo camera takes it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/snapshot_writer.h"
#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/simulated_devices.h"
#include "platform/message_box.h"
#include "platform/thread.h"

namespace ocuvant::host {
namespace {

const char* const kUsage =
    "usage: ocuvant photo [--camera visible|infrared] [--simulator [SEED] |\n"
    "                     --simulator=subject=N | --simulator=replay=DIR] FILE\n"
    "Opens the photo camera, writes one picture to FILE as a 24-bit BMP (the frame as\n"
    "the camera delivers it) and closes the camera.\n"
    "  --camera visible|infrared  which camera (default visible)\n"
    "  --simulator            use the virtual camera (the default when no such camera\n"
    "                         is attached); the forms of `ocuvant enroll` are accepted\n"
    "                         (the person and the replay concern the iris camera only)\n"
    "FILE is a local path of at most 259 bytes once made absolute, without '\\'.\n"
    "Exit status: 0 written, 1 no photo, 2 usage or the simulator cannot be set up.";

constexpr uint32_t kPhotoWaitMs = 5000;  // the first frame of a camera that just started
constexpr uint32_t kCloseWaitMs = 3000;

class PhotoSink final : public control::EventSink {
 public:
  // On the camera's streaming thread.
  void PhotoCaptureEvent(int32_t, const std::string&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    photoTaken_ = true;
  }
  void CloseCameraEvent(int32_t kind, int32_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = closed_ || kind == control::kClosedPhotoCamera;
  }
  bool PhotoTaken() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return photoTaken_;
  }
  bool Closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
  }

 private:
  mutable std::mutex mutex_;
  bool photoTaken_ = false;
  bool closed_ = false;
};

// The name the control is given: absolute, so that no "x:" prefix of a relative name
// reads as a drive; '\' is refused since the control reads it as a separator.
bool ControlFileName(const std::string& file, std::string* out, std::string* error) {
  if (file.empty()) {
    *error = "the file name is empty";
    return false;
  }
  if (file.find('\\') != std::string::npos) {
    *error = "the file name contains '\\', which the control reads as a folder separator";
    return false;
  }
  std::string path = file;
  if (path[0] != '/') {
    std::vector<char> cwd(4096);
    if (getcwd(cwd.data(), cwd.size()) == nullptr) {
      *error = "cannot read the current folder";
      return false;
    }
    path = std::string(cwd.data()) + "/" + file;
  }
  if (path.size() >= capture::kSnapshotPathBufferSize) {
    *error = "the path " + path + " is longer than the control's " +
             std::to_string(capture::kSnapshotPathBufferSize - 1) + " bytes";
    return false;
  }
  *out = path;
  return true;
}

// Identity of a file as it stands (all zero when there is none): a photo that could not
// be written leaves an existing file as it was.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  off_t size = 0;
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           size == o.size;
  }
};

FileStamp StampOf(const std::string& path) {
  FileStamp s;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.modified = st.st_mtim;
  s.size = st.st_size;
  return s;
}

uint32_t U32At(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Describes the written file ("1280 x 720, 2764854 bytes"); false when there is none.
bool DescribeBmp(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  unsigned char h[54] = {};
  in.seekg(0);
  if (size < 54 || !in.read(reinterpret_cast<char*>(h), sizeof h) || h[0] != 'B' || h[1] != 'M') {
    *text = std::to_string(size) + " bytes, not a BMP";
    return true;
  }
  *text = std::to_string(static_cast<int32_t>(U32At(h + 18))) + " x " +
          std::to_string(static_cast<int32_t>(U32At(h + 22))) + ", " + std::to_string(size) +
          " bytes";
  return true;
}

const char* OpenFailure(int32_t r) {
  switch (r) {
    case -1:
      return "the camera was not found or its capture could not be built";
    case -2:
      return "no such camera";
    case -100:
    case -102:
      return "the camera did not start";
    default:
      return "the camera did not open";
  }
}

int RunPhoto(const std::vector<std::string>& args) {
  int32_t cameraKind = 1;  // the control's kinds: 1 visible-light, 2 infrared
  SimulatorOption simulator;
  std::string file;
  auto usage = [](const std::string& why) {
    std::fprintf(stderr, "ocuvant photo: %s\n%s\n", why.c_str(), kUsage);
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (a == "--camera") {
      if (i + 1 >= args.size()) return usage("--camera needs visible or infrared");
      const std::string& v = args[++i];
      if (v != "visible" && v != "infrared") return usage("--camera takes visible or infrared");
      cameraKind = v == "visible" ? 1 : 2;
    } else if (ParseSimulatorFlag(a, &simulator, &error)) {
      // A bare flag may be followed by the person's number (FILE still to come).
      if (a == "--simulator" && i + 2 < args.size() && ParseSeed(args[i + 1], &simulator.seed)) {
        ++i;
      }
    } else if (!error.empty()) {
      return usage(error);
    } else if (a.starts_with("-") && a != "-") {
      return usage("unknown option '" + a + "'");
    } else if (!file.empty()) {
      return usage("one FILE only");
    } else {
      file = a;
    }
  }
  if (file.empty()) return usage("no FILE given");
  std::string path, error;
  if (!ControlFileName(file, &path, &error)) return usage(error);

  platform::SetMessageBoxHandler([](const std::string& text, const std::string&) {
    std::fprintf(stderr, "[message] %s\n", text.c_str());
  });
  const char* cameraName = cameraKind == 1 ? "visible-light" : "infrared";
  std::unique_ptr<SimulatedDevices> sim;
  if (simulator.enabled ||
      !CameraAttached(cameraKind == 1 ? control::COcuvantCtrl::kDefaultVisibleCameraId
                                      : control::COcuvantCtrl::kDefaultInfraredCameraId)) {
    sim = std::make_unique<SimulatedDevices>();
    simulator::VirtualCameraConfig config;
    config.irisCamera = false;
    config.subjectSeed = simulator.seed;
    config.replayDirectory = simulator.replayDirectory;
    if (!sim->Install(std::move(config), &error)) {
      std::fprintf(stderr, "ocuvant photo: simulator: %s\n", error.c_str());
      return 2;
    }
  }
  std::fprintf(stderr, "Portrait photo (%s camera%s)\n", cameraName, sim ? ", simulator" : "");

  int status = 1;
  {
    PhotoSink sink;
    auto ctrl = control::COcuvantCtrl::Create();
    ctrl->SetEventSink(&sink);
    auto pump = [&](auto done, uint32_t ms) {
      const uint32_t start = platform::GetTickCount();
      while (!done() && platform::TicksSince(start) <= ms) ctrl->ControlWindow().Pump(20);
      return done();
    };
    const int32_t opened = ctrl->InitPhotoCapture(cameraKind);
    if (opened != 1) {
      std::printf("no photo: %s (InitPhotoCapture %d)\n", OpenFailure(opened),
                  static_cast<int>(opened));
    } else {
      const FileStamp before = StampOf(path);
      const int32_t requested = ctrl->PhotoCapture(2, path);
      if (requested != 1) {
        std::printf("no photo: the request was refused (PhotoCapture %d)\n",
                    static_cast<int>(requested));
      } else if (!pump([&] { return sink.PhotoTaken(); }, kPhotoWaitMs)) {
        std::printf("no photo: no picture from the camera within %u s\n", kPhotoWaitMs / 1000);
      } else if (std::string size; StampOf(path) == before || !DescribeBmp(path, &size)) {
        // The control announces the photo also when the file could not be created.
        std::printf("no photo: %s could not be written\n", path.c_str());
      } else {
        std::printf("%s: %s (%s camera)\n", path.c_str(), size.c_str(), cameraName);
        status = 0;
      }
      ctrl->ClosePhotoCapture();
      if (!pump([&] { return sink.Closed(); }, kCloseWaitMs)) {
        std::fprintf(stderr, "ocuvant photo: the camera did not report its close\n");
      }
    }
    ctrl->SetEventSink(nullptr);
  }
  sim.reset();
  platform::SetMessageBoxHandler(nullptr);
  return status;
}

CommandRegistrar reg({"photo", "take a portrait photo into a BMP file (simulator when no camera)",
                      kUsage, &RunPhoto});

}  // namespace
}  // namespace ocuvant::host
