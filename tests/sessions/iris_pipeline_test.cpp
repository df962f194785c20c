// The iris frame pipeline: conversion, mirror, eye cuts, skipped frames, realtime raw
// captures, wrong-size frames; driven frame by frame and through the virtual camera.
#include <fstream>

#include "capture/capture_video.h"
#include "session/iris_pipeline.h"
#include "session/workflows.h"
#include "session_fixture.h"

namespace ocuvant::sessions_test {
namespace {

using session::kIrisFrameBytes;
constexpr int W = 1920;
constexpr int H = 1080;

// A bottom-up BGR frame whose blue byte encodes the grey frame's (row, column) after
// conversion and mirroring: grey(r, c) = (r * 7 + c * 3) & 0xFF.
std::vector<uint8_t> PatternFrame() {
  std::vector<uint8_t> frame(kIrisFrameBytes);
  for (int r = 0; r < H; ++r) {
    uint8_t* row = frame.data() + size_t(H - 1 - r) * W * 3;
    for (int c = 0; c < W; ++c) {
      const int mirrored = W - 1 - c;
      row[3 * mirrored] = uint8_t(r * 7 + c * 3);
      row[3 * mirrored + 1] = 0xEE;  // green and red never reach the grey frame
      row[3 * mirrored + 2] = 0xDD;
    }
  }
  return frame;
}

uint8_t Grey(int r, int c) {
  return uint8_t(r * 7 + c * 3);
}

// The number N of a realtime capture named "both[YYYY-MM-DD_HH-MM-SS]N.raw", or -1 when
// the name has another form. (Parsed by hand: GCC 12's <regex> warns under ASan.)
int RealtimeFileNumber(const std::string& name) {
  const std::string shape = "both[dddd-dd-dd_dd-dd-dd]";
  if (name.size() <= shape.size() + 4 || name.substr(name.size() - 4) != ".raw") return -1;
  for (size_t i = 0; i < shape.size(); ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (shape[i] == 'd' ? !digit : name[i] != shape[i]) return -1;
  }
  int number = 0;
  for (size_t i = shape.size(); i < name.size() - 4; ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000000) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

TEST(IrisPipelineParts, TopRowFirstPixelBecomesLastColumn) {
  std::vector<uint8_t> frame(kIrisFrameBytes, 0);
  uint8_t* lastStored = frame.data() + size_t(H - 1) * W * 3;  // the image's top row
  lastStored[0] = 10;
  lastStored[1] = 20;
  lastStored[2] = 30;
  frame[0] = 99;  // first stored row: the image's bottom row
  std::vector<uint8_t> grey(size_t(W) * H, 1);
  session::GreyFromBottomUpBgr(frame.data(), grey.data());
  EXPECT_EQ(grey[0], 10);
  EXPECT_EQ(grey[size_t(H - 1) * W], 99);
  session::MirrorRows(grey.data(), H, W);
  EXPECT_EQ(grey[1919], 10);
  EXPECT_EQ(grey[0], 0);
  EXPECT_EQ(grey[size_t(H) * W - 1], 99);
  // Odd widths keep their middle column.
  uint8_t odd[2][5] = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
  session::MirrorRows(&odd[0][0], 2, 5);
  const uint8_t want[2][5] = {{5, 4, 3, 2, 1}, {10, 9, 8, 7, 6}};
  EXPECT_EQ(0, std::memcmp(odd, want, sizeof odd));
}

// The pipeline's one-pass conversion gives exactly the frame of the two separate passes,
// for every byte of a frame whose bytes all differ from their neighbours.
TEST(IrisPipelineParts, OnePassConversionEqualsConversionThenMirror) {
  std::vector<uint8_t> frame(kIrisFrameBytes);
  uint32_t x = 2463534242u;
  for (uint8_t& b : frame) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = uint8_t(x >> 24);
  }
  std::vector<uint8_t> twoPass(size_t(W) * H), onePass(size_t(W) * H, 0xA5);
  session::GreyFromBottomUpBgr(frame.data(), twoPass.data());
  session::MirrorRows(twoPass.data(), H, W);
  session::MirroredGreyFromBottomUpBgr(frame.data(), onePass.data());
  EXPECT_TRUE(onePass == twoPass);
  for (const auto& [i, j] : {std::pair{0, 0}, {0, 1919}, {1079, 0}, {1079, 1919}, {517, 1003}}) {
    EXPECT_EQ(onePass[size_t(i) * W + size_t(j)],
              frame[size_t(1079 - i) * 5760 + 3 * size_t(1919 - j)]);
  }
}

class PipelineTest : public SessionTest {
 protected:
  // The iris camera open (frame geometry known) but not running; the test thread
  // plays the streaming thread. Matching with no database decides nothing.
  void Arm() {
    control_->SetEnableVoice(0);
    ASSERT_EQ(control_->InitIris(), 1);
    session::ResetSession(*control_);
    control_->m_sessionStartTick = platform::GetTickCount();
    control_->m_sessionMode = control::ModeMatch;
    control_->m_framesIgnored = false;
  }
  int32_t Feed(const std::vector<uint8_t>& frame) {
    return session::OnIrisFrame(*control_, frame.data(), long(frame.size()));
  }
  std::vector<std::filesystem::path> RealtimeFiles() const {
    std::vector<std::filesystem::path> out;
    const auto folder = dir_ / "CaptureIris";
    if (!std::filesystem::exists(folder)) return out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST_F(PipelineTest, FirstFiveFramesSkippedThenAllThreeKindsCut) {
  Arm();
  const auto frame = PatternFrame();
  for (int i = 0; i < session::kSkippedFrames; ++i) {
    EXPECT_EQ(Feed(frame), 0) << i;
    EXPECT_EQ(control_->m_grayFrame[0], 0) << "frame " << i << " was converted";
  }
  EXPECT_EQ(control_->m_frameCount, 5);
  EXPECT_EQ(Feed(frame), 1);
  EXPECT_EQ(session::LastFrameResult(), control_->m_lastResult.load());
  EXPECT_EQ(control_->m_frameCount, 5);  // stays there
  for (int r : {0, 1, 539, 1079}) {
    for (int c : {0, 1, 959, 960, 1919}) {
      ASSERT_EQ(control_->m_grayFrame[size_t(r) * W + c], Grey(r, c)) << r << "," << c;
    }
  }
  // Default configuration: all three keys present, so all three kinds are cut.
  auto& s = control_->m_small;
  auto& b = control_->m_big;
  auto& q = control_->m_q5;
  for (int r : {0, 500, 959}) {
    for (int c : {0, 400, 959}) {
      EXPECT_EQ(s.eyeImage[control::EyeLeft][r * 960 + c], Grey(60 + r, 960 + c));
      EXPECT_EQ(s.eyeImage[control::EyeRight][r * 960 + c], Grey(60 + r, c));
    }
    for (int c : {0, 700, 1279}) {
      EXPECT_EQ(b.eyeImage[control::EyeLeft][r * 1280 + c], Grey(60 + r, 640 + c));
      EXPECT_EQ(b.eyeImage[control::EyeRight][r * 1280 + c], Grey(60 + r, c));
    }
  }
  for (int r : {0, 1079}) {
    EXPECT_EQ(q.eyeImage[control::EyeLeft][r * 1280 + 1279], Grey(r, 1919));
    EXPECT_EQ(q.eyeImage[control::EyeRight][r * 1280], Grey(r, 0));
  }
  // Idle or ignored: nothing runs.
  control_->m_sessionMode = control::ModeIdle;
  EXPECT_EQ(Feed(frame), 0);
  control_->m_sessionMode = control::ModeMatch;
  control_->m_framesIgnored = true;
  EXPECT_EQ(Feed(frame), 0);
}

TEST_F(PipelineTest, OnlyConfiguredKindsAreCut) {
  control_->SetBurger("{\"log\":\"1\",\"with_big_iris\":\"1\"}");
  Arm();
  const auto frame = PatternFrame();
  for (int i = 0; i <= session::kSkippedFrames; ++i) Feed(frame);
  EXPECT_EQ(control_->m_big.eyeImage[control::EyeRight][1], Grey(60, 1));
  EXPECT_EQ(control_->m_small.eyeImage[control::EyeRight][1], 0);
  EXPECT_EQ(control_->m_q5.eyeImage[control::EyeRight][1], 0);
}

TEST_F(PipelineTest, WrongSizeFramesAreDroppedUnread) {
  Arm();
  const int64_t before = session::DroppedIrisFrames();
  std::vector<uint8_t> shortFrame(kIrisFrameBytes - 1, 5);  // ASan: no read past its end
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(session::OnIrisFrame(*control_, shortFrame.data(), long(shortFrame.size())), 0);
  }
  EXPECT_EQ(session::DroppedIrisFrames() - before, 8);
  EXPECT_EQ(control_->m_frameCount, 0);  // dropped frames are not the skipped ones
  EXPECT_EQ(events_.CountLogs("video|虹膜视频帧尺寸不符,丢弃:1920x1080,6220799"), 1);
}

TEST_F(PipelineTest, RealtimeCapturesEveryHalfSecondNumberedOnward) {
  control_->SetBurger(Config(",\"capture_realtime_iris\":\"1\""));
  Arm();
  const auto frame = PatternFrame();
  const int32_t before = session::RealtimeFileCounter();
  for (int i = 0; i < session::kSkippedFrames; ++i) Feed(frame);
  EXPECT_TRUE(RealtimeFiles().empty());  // skipped frames are not captured
  control_->m_lastRealtimeCaptureTick = platform::GetTickCount() - 1000;
  Feed(frame);
  Feed(frame);  // within 500 ms: no second file
  auto files = RealtimeFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::string first = files[0].filename().string();
  const int number = RealtimeFileNumber(first);
  ASSERT_GE(number, 0) << first;
  EXPECT_EQ(number, before + 1);  // the first file of a process carries 1
  if (before == 0) {
    EXPECT_EQ(number, 1);
  }
  ASSERT_EQ(std::filesystem::file_size(files[0]), session::kGreyFrameBytes);
  std::ifstream in(files[0], std::ios::binary);
  std::vector<char> bytes(session::kGreyFrameBytes);
  in.read(bytes.data(), long(bytes.size()));
  EXPECT_EQ(0, std::memcmp(bytes.data(), control_->m_grayFrame, bytes.size()));
  platform::Sleep(520);
  Feed(frame);
  EXPECT_EQ(RealtimeFiles().size(), 2u);
  EXPECT_EQ(session::RealtimeFileCounter(), before + 2);
  // Not armed: nothing is captured.
  control_->m_sessionMode = control::ModeIdle;
  platform::Sleep(520);
  Feed(frame);
  EXPECT_EQ(RealtimeFiles().size(), 2u);
}

TEST_F(PipelineTest, IrisRawWrittenOnlyForPositiveResults) {
  control_->SetBurger(Config(",\"save_raw\":\"1\""));
  Arm();
  const auto frame = PatternFrame();
  for (int i = 0; i <= session::kSkippedFrames; ++i) Feed(frame);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "iris.raw"));  // result 0
  control_->m_lastResult = 1;  // an earlier session succeeded: the workflow returns it
  Feed(frame);
  ASSERT_TRUE(std::filesystem::exists(dir_ / "iris.raw"));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "iris.raw"), session::kGreyFrameBytes);
}

// Through the camera: an armed enrollment captures about two files a second, and a
// camera of another geometry reaches no workflow.
TEST_F(SessionTest, ArmedSessionCapturesRealtimeFilesThroughTheCamera) {
  control_->SetEnableVoice(0);
  control_->SetBurger(Config(",\"capture_realtime_iris\":\"1\""));
  ASSERT_EQ(control_->InitIris(), 1);
  PumpFor(600);  // open, not armed: nothing captured
  EXPECT_FALSE(std::filesystem::exists(dir_ / "CaptureIris"));
  ASSERT_EQ(control_->EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return control_->m_sessionMode != control::ModeIdle; }, 3000));
  const uint32_t armed = platform::GetTickCount();
  const auto folder = dir_ / "CaptureIris";
  auto count = [&] {
    size_t n = 0;
    if (!std::filesystem::exists(folder)) return n;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      n += e.file_size() == session::kGreyFrameBytes;
    }
    return n;
  };
  // Slow builds (sanitizers) deliver fewer frames: wait for the files, then check
  // that they came no faster than one per 500 ms.
  ASSERT_TRUE(PumpUntil([&] { return count() >= 3; }, 10000));
  const uint32_t elapsed = platform::TicksSince(armed);
  ASSERT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_LE(count(), 1 + elapsed / session::kRealtimeCaptureIntervalMs);
  const size_t closed = count();
  PumpFor(700);
  EXPECT_EQ(count(), closed);  // closed: no more
}

TEST_F(SessionTest, CameraOfAnotherGeometryIsDroppedAndLoggedOnce) {
  simulator::VirtualCameraConfig small;
  small.irisWidth = 1280;
  small.irisHeight = 720;
  Restart(small);
  control_->SetEnableVoice(0);
  const int64_t before = session::DroppedIrisFrames();
  ASSERT_EQ(control_->InitIris(), 1);
  ASSERT_EQ(control_->EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return session::DroppedIrisFrames() - before >= 4; }, 10000));
  EXPECT_EQ(control_->m_frameCount, 0);
  EXPECT_EQ(events_.CountLogs("video|虹膜视频帧尺寸不符,丢弃:1280x720,2764800"), 1);
  ASSERT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
}

}  // namespace
}  // namespace ocuvant::sessions_test
