#include "platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

namespace ocuvant::platform {
namespace {

class DriveEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("OCUVANT_DRIVE_D");
    unsetenv("OCUVANT_DRIVE_E");
  }
  void TearDown() override { SetUp(); }
};

TEST_F(DriveEnvironment, DriveLettersMapUnderTheirVariableOrFailLikeAMissingDrive) {
  EXPECT_EQ(MapPath("d:\\q5_match.iris"), std::nullopt);
  EXPECT_EQ(MapPath("D:\\q5_match.iris"), std::nullopt);

  setenv("OCUVANT_DRIVE_D", "/srv/drive-d", 1);
  EXPECT_EQ(MapPath("d:\\q5_match.iris"), "/srv/drive-d/q5_match.iris");
  EXPECT_EQ(MapPath("D:\\q5_match.iris"), "/srv/drive-d/q5_match.iris");
  EXPECT_EQ(MapPath("d:\\\\dir\\\\sub\\x.bmp"), "/srv/drive-d/dir/sub/x.bmp");
  EXPECT_EQ(MapPath("d:/mixed\\seps/x"), "/srv/drive-d/mixed/seps/x");
  EXPECT_EQ(MapPath("d:"), "/srv/drive-d/");
  EXPECT_EQ(MapPath("d:\\dir\\"), "/srv/drive-d/dir/");
  // Nothing climbs above a drive's root, as on the drive itself.
  EXPECT_EQ(MapPath("d:\\..\\..\\etc\\passwd"), "/srv/drive-d/etc/passwd");
  EXPECT_EQ(MapPath("d:\\a\\.\\b\\..\\c"), "/srv/drive-d/a/c");

  EXPECT_EQ(MapPath("e:\\x"), std::nullopt);  // each letter has its own variable
  setenv("OCUVANT_DRIVE_E", "", 1);
  EXPECT_EQ(MapPath("e:\\x"), std::nullopt);  // empty counts as unset
  setenv("OCUVANT_DRIVE_E", "/mnt/e/", 1);
  EXPECT_EQ(MapPath("e:\\x"), "/mnt/e/x");
}

TEST_F(DriveEnvironment, OtherNamesKeepTheirPlaceWithLocalSeparators) {
  EXPECT_EQ(MapPath("/opt/ocuvant/\\log\\\\20240101\\left_1.bmp"),
            "/opt/ocuvant/log/20240101/left_1.bmp");
  EXPECT_EQ(MapPath("cache\\raw.bin"), "cache/raw.bin");
  EXPECT_EQ(MapPath("..\\up"), "../up");
  EXPECT_EQ(MapPath(""), std::nullopt);
  EXPECT_EQ(MapPath(std::string("a\0b", 3)), std::nullopt);  // would be cut short by the OS
  EXPECT_EQ(MapPath("1:\\x"), "1:/x");                       // not a drive letter
}

TEST(Paths, ModuleDirectoryIsTheExecutablesDirectoryWithATrailingSeparator) {
  const std::string dir = ModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_EQ(dir.back(), '/');
  struct stat st {};
  EXPECT_EQ(stat((dir + "test_platform").c_str(), &st), 0);
  EXPECT_EQ(MapPath(dir + "sub\\file.bmp"), dir + "sub/file.bmp");
}

TEST(Paths, FormatLocalTimeUsesTheLocalClock) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string year = FormatLocalTime("%Y");
  EXPECT_EQ(std::atoi(year.c_str()) - 1900, local.tm_year);
  EXPECT_EQ(FormatLocalTime("%Y%m%d").size(), 8u);
  EXPECT_EQ(FormatLocalTime(""), "");
  EXPECT_EQ(FormatLocalTime(nullptr), "");
}

}  // namespace
}  // namespace ocuvant::platform
