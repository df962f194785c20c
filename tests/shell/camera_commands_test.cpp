// The camera commands of the `ocuvant` host (cameras, photo, shell --simulator) as a
// user runs them: the built executable on the virtual cameras.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "shell_transcript.h"
#include "simulator/virtual_camera_backend.h"

namespace ocuvant::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kTimeLimitMs = 120000;  // generous: sanitizer builds are slow
const char* const kVirtualNames[] = {"Virtual Iris Camera", "Virtual Visible Camera",
                                     "Virtual Infrared Camera"};
const char* const kVirtualPaths[] = {simulator::kVirtualIrisCameraPath,
                                     simulator::kVirtualVisibleCameraPath,
                                     simulator::kVirtualInfraredCameraPath};

ChildResult RunOcuvant(const std::vector<std::string>& args, const std::string& input = "",
                       const std::string& workingDirectory = "") {
  std::vector<std::string> argv{OCUVANT_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunChild(argv, input, kTimeLimitMs, workingDirectory);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = ::testing::TempDir() + "ocuvant_cameras_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  bool Empty() const { return fs::is_empty(path_); }

 private:
  fs::path path_;
};

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// A 24-bit BMP holding one bottom-up frame of width x height, rows not padded, and
// not one flat colour (a rendered picture, not an empty buffer).
void ExpectFrameBmp(const std::string& bmp, uint32_t width, uint32_t height) {
  const size_t pixels = size_t{width} * height * 3;
  ASSERT_EQ(bmp.size(), 54 + pixels);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  EXPECT_EQ(U32(bmp, 10), 54u);
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(U32(bmp, 18), width);
  EXPECT_EQ(U32(bmp, 22), height);
  EXPECT_EQ(U32(bmp, 26), 24u << 16 | 1u);  // one plane, 24 bits
  EXPECT_NE(bmp.find_first_not_of(bmp[54], 54), std::string::npos);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = SplitLines(text);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string Joined(const char* const (&parts)[3]) {
  return std::string(parts[0]) + ";" + parts[1] + ";" + parts[2];
}

// ---------------------------------------------------------------------------------------
// ocuvant cameras

TEST(CamerasCommand, ListsTheVirtualCamerasOnlyWithTheSimulator) {
  for (const bool paths : {false, true}) {
    std::vector<std::string> args{"cameras"};
    if (paths) args.push_back("--paths");
    const ChildResult real = RunOcuvant(args);
    ASSERT_TRUE(real.started);
    EXPECT_EQ(real.exitCode, 0) << real.err;
    EXPECT_EQ(real.out.find("Virtual"), std::string::npos) << real.out;
    EXPECT_EQ(real.out.find("7&2f1b8c3a"), std::string::npos) << real.out;
    if (real.out.empty()) {
      EXPECT_NE(real.err.find("no camera found"), std::string::npos);
    }

    args.push_back("--simulator");
    const ChildResult sim = RunOcuvant(args);
    EXPECT_EQ(sim.exitCode, 0) << sim.err;
    // The virtual cameras follow the real ones, one a line, in the control's order.
    const std::vector<std::string> lines = Lines(sim.out);
    ASSERT_EQ(lines.size(), Lines(real.out).size() + 3) << sim.out;
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(lines[lines.size() - 3 + i], paths ? kVirtualPaths[i] : kVirtualNames[i]);
    }
  }
}

TEST(CamerasCommand, FormatsListEachCamerasModes) {
  const ChildResult sim = RunOcuvant({"cameras", "--formats", "--simulator"});
  EXPECT_EQ(sim.exitCode, 0) << sim.err;
  const std::vector<std::string> lines = Lines(sim.out);
  ASSERT_GE(lines.size(), 6u) << sim.out;
  const std::vector<std::string> tail(lines.end() - 6, lines.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{kVirtualNames[0], "  BGR3 1920x1080 *", kVirtualNames[1],
                                      "  BGR3 1280x720 *", kVirtualNames[2], "  BGR3 640x480 *"}));
}

// ---------------------------------------------------------------------------------------
// ocuvant photo

TEST(PhotoCommand, WritesTheVisibleCameraFrameAsBmp) {
  ScratchFolder dir;
  ASSERT_FALSE(dir.path().empty());
  const fs::path file = dir.path() / "portrait.bmp";
  const ChildResult r = RunOcuvant({"photo", "--simulator", file.string()});
  ASSERT_TRUE(r.started);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const simulator::VirtualCameraConfig cameras;
  ExpectFrameBmp(ReadFile(file), cameras.visibleWidth, cameras.visibleHeight);
  EXPECT_NE(r.out.find(file.string()), std::string::npos) << r.out;
  EXPECT_NE(
      r.out.find(std::to_string(54 + cameras.visibleWidth * cameras.visibleHeight * 3) + " bytes"),
      std::string::npos)
      << r.out;
}

TEST(PhotoCommand, RelativeNameWithAColonLandsInTheWorkingFolder) {
  // "c:..." would name a drive to the control; the host hands it an absolute path.
  ScratchFolder dir;
  ASSERT_FALSE(dir.path().empty());
  const ChildResult r =
      RunOcuvant({"photo", "--camera", "infrared", "--simulator", "c:ir.bmp"}, "", dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const simulator::VirtualCameraConfig cameras;
  ExpectFrameBmp(ReadFile(dir.path() / "c:ir.bmp"), cameras.infraredWidth, cameras.infraredHeight);
}

TEST(PhotoCommand, FileThatCannotBeWrittenIsAFailure) {
  ScratchFolder dir;
  ASSERT_FALSE(dir.path().empty());
  // A missing folder, and an existing folder in place of the file: the control still
  // announces the photo, the host finds nothing written.
  for (const fs::path& target : {dir.path() / "missing" / "x.bmp", dir.path()}) {
    const ChildResult r = RunOcuvant({"photo", "--simulator", target.string()});
    EXPECT_EQ(r.exitCode, 1) << target << "\n" << r.out << r.err;
    EXPECT_NE(r.out.find("could not be written"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(dir.Empty());
}

// ---------------------------------------------------------------------------------------
// ocuvant shell --simulator

TEST(ShellSimulator, ReachesTheCameraAndSessionMethods) {
  ScratchFolder dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string scriptPath = OCUVANT_SHELL_SCRIPTS "/simulator.ocs";
  const ChildResult r = RunOcuvant({"shell", "--simulator", "7", scriptPath}, "", dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Transcript t;
  std::string error;
  ASSERT_TRUE(t.Build(ReadFile(scriptPath), r.out, &error)) << error << "\n" << r.out;

  EXPECT_TRUE(t.Of("call EnumCameras 0").Result().asString().ends_with(Joined(kVirtualNames)));
  EXPECT_TRUE(t.Of("call EnumCameras 5").Result().asString().ends_with(Joined(kVirtualPaths)));
  EXPECT_EQ(t.Of("call CheckDevStatus").Result(), 0);  // the virtual illuminator answers

  // Iris camera: opened once, closed by StopIris with CloseCameraEvent(0, 0).
  EXPECT_EQ(t.Of("call InitIris", 0).Result(), 1);
  EXPECT_EQ(t.Of("call InitIris", 1).Result(), 1);
  EXPECT_EQ(t.Of("call StopIris").Result(), 1);
  const Reply& irisClosed = t.Of("wait CloseCameraEvent 5", 0);
  ASSERT_FALSE(irisClosed.IsError()) << irisClosed.Error();
  Json::Value closeEvent;
  for (const Json::Value& e : irisClosed.events) {
    if (e["event"] == "CloseCameraEvent") closeEvent = e;
  }
  EXPECT_EQ(closeEvent["CameraKind"], 0) << closeEvent;
  EXPECT_EQ(closeEvent["CloseResult"], 0) << closeEvent;

  // Photo camera: refused before it is open, then a portrait photo reported as kind 2.
  EXPECT_EQ(t.Of("call PhotoCapture 7 shell_photo.bmp", 0).Result(), -1);
  EXPECT_EQ(t.Of("call InitPhotoCapture 5").Result(), 1);
  EXPECT_EQ(t.Of("call PhotoCapture 7 shell_photo.bmp", 1).Result(), 1);
  const Reply& photo = t.Of("wait PhotoCaptureEvent 5");
  ASSERT_FALSE(photo.IsError()) << photo.Error();
  bool announced = false;
  for (const Json::Value& e : photo.events) {
    if (e["event"] != "PhotoCaptureEvent") continue;
    announced = true;
    EXPECT_EQ(e["CaptureKind"], 2);
    EXPECT_EQ(e["ImageFile"], "shell_photo.bmp");
  }
  EXPECT_TRUE(announced);
  const simulator::VirtualCameraConfig cameras;  // InitPhotoCapture(5): the infrared camera
  ExpectFrameBmp(ReadFile(dir.path() / "shell_photo.bmp"), cameras.infraredWidth,
                 cameras.infraredHeight);
  EXPECT_EQ(t.Of("call ClosePhotoCapture", 0).Result(), 1);
  const Reply& photoClosed = t.Of("wait CloseCameraEvent 5", 1);
  ASSERT_FALSE(photoClosed.IsError()) << photoClosed.Error();
  EXPECT_EQ(t.Of("call ClosePhotoCapture", 1).Result(), -1);  // nothing open any more
}

TEST(ShellSimulator, EveryFormOfTheFlagInstallsTheDevices) {
  const std::string script = "call CheckDevStatus\ncall EnumCameras 0\n";
  const std::vector<std::vector<std::string>> forms = {{"shell", "--simulator"},
                                                       {"shell", "--simulator", "42"},
                                                       {"shell", "--simulator=subject=42"}};
  for (const auto& args : forms) {
    const ChildResult r = RunOcuvant(args, script);
    ASSERT_EQ(r.exitCode, 0) << args.back() << ": " << r.err;
    Transcript t;
    std::string error;
    ASSERT_TRUE(t.Build(script, r.out, &error)) << error << "\n" << r.out;
    EXPECT_EQ(t.Of("call CheckDevStatus").Result(), 0) << args.back();
    EXPECT_TRUE(t.Of("call EnumCameras 0").Result().asString().ends_with(Joined(kVirtualNames)))
        << args.back();
  }
}

// ---------------------------------------------------------------------------------------
// Usage errors: exit status 2, the reason and the usage on standard error, nothing done.

TEST(CameraCommandUsage, BadArgumentsExitWithTwoAndSayWhy) {
  ScratchFolder dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string longName = "/tmp/" + std::string(260, 'x') + ".bmp";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"cameras", "--bogus"}, "unexpected argument '--bogus'"},
      {{"cameras", "--simulator=replay="}, "takes a folder"},
      {{"photo"}, "no FILE given"},
      {{"photo", "a.bmp", "b.bmp"}, "one FILE only"},
      {{"photo", "a.bmp", "--camera"}, "--camera needs visible or infrared"},
      {{"photo", "--camera", "red", "a.bmp"}, "--camera takes visible or infrared"},
      {{"photo", "--flash", "a.bmp"}, "unknown option '--flash'"},
      {{"photo", "dir\\a.bmp"}, "contains '\\'"},
      {{"photo", longName}, "longer than the control's 259 bytes"},
      {{"photo", "--simulator=subject=x", "a.bmp"}, "takes a whole number"},
      {{"shell", "--simulator=bogus"}, "unknown simulator option '--simulator=bogus'"},
      {{"shell", "--simulator", "1", "a.ocs", "b.ocs"}, "usage: ocuvant shell"},
      {{"shell", "--verbose"}, "usage: ocuvant shell"},
  };
  for (const auto& [args, reason] : cases) {
    const ChildResult r = RunOcuvant(args, "", dir.path());
    const std::string shown = args[0] + " " + (args.size() > 1 ? args[1] : "");
    EXPECT_EQ(r.exitCode, 2) << shown << "\n" << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << shown << "\n" << r.err;
    EXPECT_NE(r.err.find("usage: ocuvant " + args[0]), std::string::npos) << shown;
    EXPECT_TRUE(r.out.empty()) << shown << "\n" << r.out;
  }
  EXPECT_TRUE(dir.Empty());  // no photo was taken

  // A replay folder without frames is a setup failure, not a usage error.
  const ChildResult replay = RunOcuvant({"shell", "--simulator=replay=/nonexistent/frames"});
  EXPECT_EQ(replay.exitCode, 1);
  EXPECT_NE(replay.err.find("/nonexistent/frames"), std::string::npos) << replay.err;
}

}  // namespace
}  // namespace ocuvant::testing
