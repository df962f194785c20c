// Snapshot requests and the BMP files they produce.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "capture/capture_video.h"
#include "capture/snapshot_writer.h"
#include "fake_backend.h"
#include "recording_hooks.h"

namespace ocuvant::capture::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

std::string TempDir() {
  char tmpl[] = "/tmp/ocuvant_snapshot_XXXXXX";
  const char* dir = mkdtemp(tmpl);
  return dir != nullptr ? dir : "/tmp";
}

TEST(SaveSnapshotBmp, HeadersThenTheFrameBytesAsDelivered) {
  const std::string path = TempDir() + "/frame.bmp";
  uint8_t frame[2 * 3 * 3];  // 3 x 2 pixels, rows of 9 bytes: written without re-padding
  for (size_t i = 0; i < sizeof frame; ++i) frame[i] = static_cast<uint8_t>(i + 1);
  char buffer[kSnapshotPathBufferSize];
  ASSERT_TRUE(SaveSnapshotBmp(frame, sizeof frame, 3, 2, path.c_str(), buffer));
  EXPECT_STREQ(buffer, path.c_str());
  const std::string file = ReadFile(path);
  ASSERT_EQ(file.size(), 54 + sizeof frame);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(U32(file, 2), 54 + sizeof frame);
  EXPECT_EQ(U32(file, 6), 0u);  // reserved words
  EXPECT_EQ(U32(file, 10), 54u);
  EXPECT_EQ(U32(file, 14), 40u);
  EXPECT_EQ(U32(file, 18), 3u);
  EXPECT_EQ(U32(file, 22), 2u);
  EXPECT_EQ(U32(file, 26), 1u | 24u << 16);  // planes, bits per pixel
  for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32(file, at), 0u) << at;
  EXPECT_EQ(file.substr(54), std::string(reinterpret_cast<char*>(frame), sizeof frame));
}

TEST(SaveSnapshotBmp, PathsThatDoNotFitOrCannotBeCreatedWriteNothing) {
  uint8_t frame[12] = {};
  char buffer[kSnapshotPathBufferSize];
  const std::string dir = TempDir();
  const std::string longPath = dir + "/" + std::string(300, 'p') + ".bmp";
  EXPECT_FALSE(SaveSnapshotBmp(frame, sizeof frame, 2, 2, longPath.c_str(), buffer));
  EXPECT_FALSE(
      SaveSnapshotBmp(frame, sizeof frame, 2, 2, (dir + "/no/such/dir/x.bmp").c_str(), buffer));
  const std::string exact = dir + "/" + std::string(259 - dir.size() - 1, 'q');
  ASSERT_EQ(exact.size(), 259u);  // the longest path that fits
  EXPECT_TRUE(SaveSnapshotBmp(frame, sizeof frame, 2, 2, exact.c_str(), buffer));
}

class SnapshotTest : public ::testing::Test {
 protected:
  ScopedBackends backends_{{std::make_shared<FakeBackend>(
      std::vector<FakeDevice>{{"Iris", "\\\\?\\usb#vid_0c45&pid_6366#x", 1920, 1080}})}};
  RecordingHooks hooks_;
  std::string dir_ = TempDir();
};

TEST_F(SnapshotTest, FullFrameSnapshotIsTheFrameThatFollowedTheRequest) {
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  const std::string path = dir_ + "/shot.bmp";
  std::atomic<int> photoFrameValue{-1};
  hooks_.frameHandler = [&](const uint8_t* data, long, FrameRoute) {
    // The snapshot is written from the same frame just before it reaches the control.
    if (photoFrameValue.load() < 0 && !hooks_.Photos().empty()) photoFrameValue = data[0];
  };
  session.RequestSnapshot(0, dir_ + "/first.bmp");
  session.RequestSnapshot(1, path);  // replaces the first request
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return photoFrameValue.load() >= 0; }));
  session.Close();

  const std::string file = ReadFile(path);
  ASSERT_EQ(file.size(), 6220854u);
  EXPECT_EQ(U32(file, 18), 1920u);
  EXPECT_EQ(U32(file, 22), 1080u);
  EXPECT_EQ(static_cast<uint8_t>(file[54]), photoFrameValue.load());
  EXPECT_EQ(static_cast<uint8_t>(file.back()), photoFrameValue.load());
  EXPECT_TRUE(ReadFile(dir_ + "/first.bmp").empty());
  const auto photos = hooks_.Photos();
  ASSERT_EQ(photos.size(), 1u);
  EXPECT_EQ(photos[0].kind, 1);
  EXPECT_EQ(photos[0].path, path);
  EXPECT_TRUE(hooks_.HasLog("保存照片完毕", "IrisHandle"));
}

TEST_F(SnapshotTest, UnwritablePathsStillAnswerTheRequest) {
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, SnapshotOnly, "PhotoCapture"), 0);
  const std::string longPath = dir_ + "/" + std::string(400, 'l') + ".bmp";
  session.RequestSnapshot(2, longPath);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.Photos().size() == 1; }));
  const std::string missingDir = dir_ + "/missing/photo.bmp";
  session.RequestSnapshot(2, missingDir);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.Photos().size() == 2; }));
  session.Close();
  const auto photos = hooks_.Photos();
  EXPECT_EQ(photos[0].path, longPath);
  EXPECT_EQ(photos[1].path, missingDir);
  EXPECT_TRUE(ReadFile(missingDir).empty());
  EXPECT_TRUE(hooks_.HasLog("保存照片完毕", "PhotoCapture"));
  EXPECT_EQ(hooks_.frames.load(), 0);  // snapshot-only route
}

TEST_F(SnapshotTest, SessionThatNeverRunsWritesNothing) {
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, SnapshotOnly, "PhotoCapture"), 0);
  const std::string path = dir_ + "/never.bmp";
  session.RequestSnapshot(2, path);
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  session.Close();
  EXPECT_TRUE(ReadFile(path).empty());
  EXPECT_TRUE(hooks_.Photos().empty());
}

}  // namespace
}  // namespace ocuvant::capture::testing
