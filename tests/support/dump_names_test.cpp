#include "support/dump_names.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/message_box.h"
#include "support/image_files.h"
#include "temp_dir.h"

namespace ocuvant::support {
namespace {

const std::string kDir = "C:\\Program Files\\Host\\";

TEST(DumpNames, EnrollmentDumpsCarrySideKindIndexAndStep) {
  EXPECT_EQ(EnrollIrisImageName(kDir, 0, "small"), kDir + "enroll_left_irisimage_small.bmp");
  EXPECT_EQ(EnrollIrisImageName(kDir, 1, "Q5"), kDir + "enroll_right_irisimage_Q5.bmp");
  EXPECT_EQ(EnrollRawIrisImageName(kDir, 0, "big", 0),
            kDir + "enroll_left_rawirisimage_big(step0).raw");
  EXPECT_EQ(EnrollRawIrisImageName(kDir, 1, "Q5", 1),
            kDir + "enroll_right_rawirisimage_Q5(step1).raw");
  EXPECT_EQ(EnrollCachedRawIrisImageName(kDir, 0, "small", 2, 1),
            kDir + "enroll_left_rawirisimage_small_2(step1).raw");
  EXPECT_EQ(EnrollCachedRawIrisImageName(kDir, 1, "big", 0, 0),
            kDir + "enroll_right_rawirisimage_big_0(step0).raw");
}

TEST(DumpNames, MatchDumpsCarryResultCodeAndSideNumber) {
  EXPECT_EQ(MatchIrisImageName(kDir), kDir + "isoiec197946_irisimage.bmp");
  EXPECT_EQ(MatchRawIrisImageName(kDir), kDir + "isoiec197946_rawirisimage.raw");
  EXPECT_EQ(MatchTimeoutRawIrisImageName(kDir, 0, "big", -11),
            kDir + "match_left_rawirisimage_big_-11_0.raw");
  EXPECT_EQ(MatchTimeoutRawIrisImageName(kDir, 1, "Q5", 1),
            kDir + "match_right_rawirisimage_Q5_1_1.raw");
  EXPECT_EQ(Q5MatchDatabaseName(), "d:\\q5_match.iris");
}

TEST(DumpNames, FrameDumpsAndPhotosKeepTheirDoubledSeparator) {
  EXPECT_EQ(RealtimeCaptureDirName(kDir), kDir + "\\CaptureIris");
  EXPECT_EQ(RealtimeCaptureName(kDir, "2024-03-05_07-08-09", 1),
            kDir + "\\CaptureIris\\both[2024-03-05_07-08-09]1.raw");
  EXPECT_EQ(RealtimeCaptureName(kDir, "t", 4000000000u),
            kDir + "\\CaptureIris\\both[t]4000000000.raw");
  EXPECT_EQ(IrisFrameRawName(kDir), kDir + "\\iris.raw");
  EXPECT_EQ(EnrollBackgroundPhotoName(kDir), kDir + "\\CaptureForIrisEnroll.bmp");
  EXPECT_EQ(MatchBackgroundPhotoName(kDir), kDir + "\\CaptureForIrisMatch.bmp");
}

// The names reach the local file system through the writers.
TEST(DumpNames, WritersPlaceTheFilesUnderTheModuleDirectory) {
  testing::TempDir tmp;
  const std::string dir = tmp.Dir();
  const uint8_t byte = 5;
  ASSERT_EQ(EnsureDirectory(RealtimeCaptureDirName(dir)), 1);
  ASSERT_TRUE(WriteRawFile(&byte, 1, RealtimeCaptureName(dir, "2024-03-05_07-08-09", 3)));
  EXPECT_TRUE(std::filesystem::exists(tmp.Path() + "/CaptureIris/both[2024-03-05_07-08-09]3.raw"));
  ASSERT_TRUE(WriteRawFile(&byte, 1, IrisFrameRawName(dir)));
  EXPECT_TRUE(std::filesystem::exists(tmp.Path() + "/iris.raw"));
  ASSERT_TRUE(WriteRawFile(&byte, 1, EnrollCachedRawIrisImageName(dir, 1, "Q5", 2, 0)));
  EXPECT_TRUE(std::filesystem::exists(tmp.Path() + "/enroll_right_rawirisimage_Q5_2(step0).raw"));
}

TEST(DumpNames, Q5DatabaseCopyNeedsDriveD) {
  testing::TempDir tmp;
  std::vector<std::string> boxes;
  platform::SetMessageBoxHandler(
      [&boxes](const std::string& text, const std::string&) { boxes.push_back(text); });
  const uint8_t byte = 5;
  unsetenv("OCUVANT_DRIVE_D");
  EXPECT_FALSE(WriteRawFile(&byte, 1, Q5MatchDatabaseName()));
  EXPECT_EQ(boxes, std::vector<std::string>{"open file error(write)."});

  setenv("OCUVANT_DRIVE_D", tmp.Path().c_str(), 1);
  EXPECT_TRUE(WriteRawFile(nullptr, 0, Q5MatchDatabaseName()));  // a count of 0: an empty file
  unsetenv("OCUVANT_DRIVE_D");
  platform::SetMessageBoxHandler(nullptr);
  ASSERT_TRUE(std::filesystem::exists(tmp.Path() + "/q5_match.iris"));
  EXPECT_EQ(std::filesystem::file_size(tmp.Path() + "/q5_match.iris"), 0u);
}

}  // namespace
}  // namespace ocuvant::support
