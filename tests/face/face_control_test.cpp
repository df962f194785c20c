// The infrared face enrollment through the control: virtual infrared face camera,
// reference face library, virtual illuminator, the control's message loop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "capture/capture_registry.h"
#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "device/hid_transport.h"
#include "device/illuminator_command.h"
#include "face_test_support.h"
#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::face_test {
namespace {

namespace fs = std::filesystem;

uint64_t WideEyedPerson() {
  uint64_t p = 1;
  while (simulator::PersonTraits(p).eyeSpacing < 500) ++p;
  return p;
}

class Events : public control::EventSink {
 public:
  void LogInfo(const std::string& tag, const std::string& log) override {
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back(tag + "|" + log);
  }
  void CloseCameraEvent(int32_t kind, int32_t result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    closes_.push_back({kind, result});
  }
  int CountLogs(const std::string& line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count(logs_.begin(), logs_.end(), line));
  }
  std::vector<std::pair<int32_t, int32_t>> Closes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> logs_;
  std::vector<std::pair<int32_t, int32_t>> closes_;
};

std::string Config(const std::string& extra = {}) {
  return "{\"log\":\"1\",\"with_big_iris\":\"1\",\"iris_hid_ctl\":\"1\"" + extra + "}";
}

class FaceControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator::VirtualCameraConfig cameras;
    cameras.script = "gone";
    cameras.faceScript = "face 100 240 200 240 person " + std::to_string(WideEyedPerson()) +
                         " for 1500; face 240 250 240 300 person " +
                         std::to_string(WideEyedPerson());
    Start(cameras);
  }
  void Start(const simulator::VirtualCameraConfig& cameras) {
    capture::ClearCaptureBackends();  // no real camera takes part
    device::InstallHidTransport(&illuminator_);
    std::string error;
    ASSERT_TRUE(simulator::InstallVirtualCameras(cameras, &error)) << error;
    dir_ = fs::temp_directory_path() /
           ("ocuvant_face_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // The control looks for its face library beside the host program: here, its folder.
    fs::copy_file(ReferenceDir() + "TravexFace(32bit).so", dir_ / "TravexFace(32bit).so");
    control_ = control::COcuvantCtrl::Create();
    control_->m_moduleDir = dir_.string() + "/";
    control_->SetBurger(Config());
    control_->SetEnableVoice(0);
    control_->SetEventSink(&events_);
  }
  void Restart(const simulator::VirtualCameraConfig& cameras) {
    TearDown();
    Start(cameras);
  }
  void TearDown() override {
    control_.reset();
    simulator::RemoveVirtualCameras();
    device::InstallHidTransport(nullptr);
    fs::remove_all(dir_);
  }
  bool PumpUntil(const std::function<bool()>& done, uint32_t ms) {
    const uint32_t start = platform::GetTickCount();
    while (!done()) {
      if (platform::TicksSince(start) > ms) return false;
      control_->ControlWindow().Pump(10);
    }
    return true;
  }
  void PumpFor(uint32_t ms) {
    PumpUntil([] { return false; }, ms);
  }
  int CountCodes(uint8_t code) const {
    const auto codes = illuminator_.Codes();
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
  }
  bool Closed(int32_t kind) const {
    for (auto [k, r] : events_.Closes()) {
      if (k == kind && r == 0) return true;
    }
    return false;
  }

  Recorder boxes_;  // swallows the library's "Init return" message boxes
  simulator::VirtualIlluminator illuminator_;
  Events events_;
  fs::path dir_;
  std::unique_ptr<control::COcuvantCtrl> control_;
};

TEST_F(FaceControlTest, EnrollsFiveFacesWithHintsAndTheFaceLightThenAgainAfterReopening) {
  control::COcuvantCtrl& c = *control_;
  ASSERT_EQ(c.InitInfraredFace(), -1);  // -1 even though the camera opened
  EXPECT_TRUE(c.m_faceOpen);
  EXPECT_EQ(c.InitInfraredFace(), 1);  // already active
  EXPECT_EQ(CountCodes(device::CmdFaceLightOn), 0);
  ASSERT_EQ(c.EnrollInfraredFace(), 1);
  EXPECT_EQ(CountCodes(device::CmdFaceLightOn), 1);
  EXPECT_TRUE(illuminator_.FaceLightOn());
  ASSERT_TRUE(PumpUntil([&] { return events_.CountLogs("face|Move to right") > 0; }, 3000));
  ASSERT_TRUE(PumpUntil(
      [&] { return c.m_face.State().collecting == session::FaceCollecting::Enrolled; }, 12000));
  EXPECT_EQ(c.m_face.State().templateCount, 5);
  EXPECT_EQ(events_.CountLogs("face|Face enrollment failed"), 0);
  PumpFor(300);
  EXPECT_EQ(c.m_face.State().templateCount, 5);

  ASSERT_EQ(c.CloseInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return Closed(control::kClosedFaceCamera); }, 3000));
  EXPECT_FALSE(c.m_faceOpen);
  EXPECT_EQ(CountCodes(device::CmdFaceLightOff), 1);
  EXPECT_FALSE(illuminator_.FaceLightOn());
  EXPECT_EQ(events_.CountLogs("face|关闭红外人脸视频..."), 1);
  EXPECT_EQ(events_.CountLogs("face|红外人脸视频关闭"), 1);
  // The light went on before it went off.
  const auto codes = illuminator_.Codes();
  const auto on = std::find(codes.begin(), codes.end(), device::CmdFaceLightOn);
  EXPECT_LT(on - codes.begin(),
            std::find(codes.begin(), codes.end(), device::CmdFaceLightOff) - codes.begin());

  // Opened and started again, the session receives frames again (the script restarts).
  ASSERT_EQ(c.InitInfraredFace(), -1);
  ASSERT_EQ(c.EnrollInfraredFace(), 1);
  EXPECT_EQ(c.m_face.State().templateCount, 0);
  ASSERT_TRUE(PumpUntil([&] { return events_.CountLogs("face|Move to right") >= 2; }, 3000));
  ASSERT_TRUE(PumpUntil([&] { return c.m_face.State().templateCount > 0; }, 4000));
  EXPECT_THAT(boxes_.Boxes(), ::testing::ElementsAre("Init return:1", "Init return:1"));
  ASSERT_EQ(c.CloseInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return events_.Closes().size() == 2; }, 3000));
}

TEST_F(FaceControlTest, ChainsFromAndToTheIrisCameraWithoutCloseEvents) {
  control::COcuvantCtrl& c = *control_;
  c.SetBurger(Config(",\"capture_realtime_iris\":\"1\""));
  ASSERT_EQ(c.InitIris(), 1);
  ASSERT_TRUE(c.m_irisOpen);
  ASSERT_EQ(c.InitInfraredFace(), -1);
  ASSERT_TRUE(PumpUntil([&] { return c.m_faceOpen.load(); }, 3000));
  EXPECT_FALSE(c.m_irisOpen);
  ASSERT_EQ(c.EnrollInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return events_.CountLogs("face|Move to right") > 0; }, 3000));

  // Back to the iris camera: the face camera closes with the next action.
  ASSERT_EQ(c.InitIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return c.m_irisOpen.load(); }, 3000));
  EXPECT_FALSE(c.m_faceOpen);
  EXPECT_EQ(CountCodes(device::CmdFaceLightOff), 1);
  EXPECT_TRUE(events_.Closes().empty());
  // An iris session on the reopened camera gets frames (its realtime captures appear).
  ASSERT_EQ(c.EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return fs::exists(dir_ / "CaptureIris"); }, 20000));
  ASSERT_EQ(c.StopIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return Closed(control::kClosedIrisCamera); }, 3000));
  EXPECT_EQ(events_.Closes().size(), 1u);
}

TEST_F(FaceControlTest, ChainsFromAndToThePhotoCamera) {
  control::COcuvantCtrl& c = *control_;
  ASSERT_EQ(c.InitInfraredFace(), -1);
  ASSERT_EQ(c.InitPhotoCapture(1), 2);  // the face camera closes first
  ASSERT_TRUE(PumpUntil([&] { return c.m_photoOpen.load(); }, 3000));
  EXPECT_FALSE(c.m_faceOpen);
  ASSERT_EQ(c.InitInfraredFace(), -1);
  ASSERT_TRUE(PumpUntil([&] { return c.m_faceOpen.load(); }, 3000));
  EXPECT_FALSE(c.m_photoOpen);
  ASSERT_EQ(c.EnrollInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return events_.CountLogs("face|Move to right") > 0; }, 3000));
  EXPECT_TRUE(events_.Closes().empty());
  ASSERT_EQ(c.CloseInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return Closed(control::kClosedFaceCamera); }, 3000));
}

TEST_F(FaceControlTest, BrokenOrMissingLibrariesOpenNothing) {
  control::COcuvantCtrl& c = *control_;
  const struct {
    const char* variant;
    int32_t result;
  } cases[] = {{"missing", -51}, {"no_enroll", -52}, {"no_template", -53}};
  for (const auto& k : cases) {
    c.m_moduleDir = BrokenDir(k.variant);
    EXPECT_EQ(c.InitInfraredFace(), k.result) << k.variant;
    EXPECT_FALSE(c.m_faceOpen);
    EXPECT_EQ(c.m_mainCapture->State(), capture::CaptureState::Empty);
  }
  // With the iris camera open, a missing library leaves it open.
  ASSERT_EQ(c.InitIris(), 1);
  c.m_moduleDir = BrokenDir("missing");
  EXPECT_EQ(c.InitInfraredFace(), -51);
  PumpFor(300);
  EXPECT_TRUE(c.m_irisOpen);
  // Nothing to start and nothing of the face's to close.
  EXPECT_EQ(c.EnrollInfraredFace(), -100);
  EXPECT_EQ(events_.CountLogs("face|启动人脸视频失败"), 1);
  EXPECT_EQ(CountCodes(device::CmdFaceLightOn), 0);
  EXPECT_EQ(c.CloseInfraredFace(), 1);
  PumpFor(300);
  EXPECT_TRUE(c.m_irisOpen);
  EXPECT_TRUE(events_.Closes().empty());
}

TEST_F(FaceControlTest, NoCameraFragmentOrNoCameraStillAnswersMinusOne) {
  control::COcuvantCtrl& c = *control_;
  c.SetCameraIDInfrared("   ");
  EXPECT_EQ(c.InitInfraredFace(), -1);
  EXPECT_FALSE(c.m_faceOpen);
  EXPECT_EQ(c.EnrollInfraredFace(), -100);
  c.SetCameraIDInfrared("usb#vid_ffff&pid_ffff");
  EXPECT_EQ(c.InitInfraredFace(), -1);
  EXPECT_FALSE(c.m_faceOpen);
  // Closing with nothing open still reports the face camera closed.
  EXPECT_EQ(c.CloseInfraredFace(), 1);
  EXPECT_TRUE(PumpUntil([&] { return Closed(control::kClosedFaceCamera); }, 3000));
}

TEST_F(FaceControlTest, FramesOfAnotherSizeNeverReachTheLibrary) {
  simulator::VirtualCameraConfig cameras;
  cameras.script = "gone";
  cameras.faceScript = "face 100 240 200 240";
  cameras.infraredWidth = 320;
  cameras.infraredHeight = 240;
  Restart(cameras);
  control::COcuvantCtrl& c = *control_;
  ASSERT_EQ(c.InitInfraredFace(), -1);
  ASSERT_EQ(c.EnrollInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return c.m_mainCapture->FrameWidth() == 320; }, 3000));
  PumpFor(500);
  EXPECT_EQ(events_.CountLogs("face|Move to right"), 0);
  EXPECT_EQ(c.m_face.State().lastHintCode, 4);
  ASSERT_EQ(c.CloseInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return Closed(control::kClosedFaceCamera); }, 3000));
}

// A face camera that goes away is closed as CloseInfraredFace would: the face light
// goes off and the host hears the face camera closed. A control destroyed during a
// face session switches the light off too.
TEST_F(FaceControlTest, UnpluggedCameraOrDestroyedControlSwitchesTheFaceLightOff) {
  simulator::VirtualCameraConfig cameras;
  cameras.script = "gone";
  cameras.faceScript = "face 100 240 200 240 for 600; unplugged";
  Restart(cameras);
  control::COcuvantCtrl& c = *control_;
  ASSERT_EQ(c.InitInfraredFace(), -1);
  ASSERT_EQ(c.EnrollInfraredFace(), 1);
  ASSERT_TRUE(PumpUntil([&] { return Closed(control::kClosedFaceCamera); }, 5000));
  EXPECT_FALSE(c.m_faceOpen);
  EXPECT_EQ(CountCodes(device::CmdFaceLightOff), 1);
  EXPECT_FALSE(illuminator_.FaceLightOn());
  EXPECT_EQ(events_.CountLogs("face|红外人脸视频关闭"), 1);

  cameras.faceScript = "face 100 240 200 240";
  Restart(cameras);
  ASSERT_EQ(control_->InitInfraredFace(), -1);
  ASSERT_EQ(control_->EnrollInfraredFace(), 1);
  EXPECT_TRUE(illuminator_.FaceLightOn());
  control_.reset();
  EXPECT_FALSE(illuminator_.FaceLightOn());
}

}  // namespace
}  // namespace ocuvant::face_test
