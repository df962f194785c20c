#include "support/image_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>
#include <utility>
#include <vector>

#include "platform/message_box.h"
#include "temp_dir.h"

namespace ocuvant::support {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::U32At;

// Captures message boxes for the duration of a test.
class MessageBoxes {
 public:
  MessageBoxes() {
    platform::SetMessageBoxHandler([this](const std::string& text, const std::string& caption) {
      shown.emplace_back(text, caption);
    });
  }
  ~MessageBoxes() { platform::SetMessageBoxHandler(nullptr); }
  std::vector<std::pair<std::string, std::string>> shown;
};

std::vector<uint8_t> Gradient(int width, int height) {
  std::vector<uint8_t> img(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      img[static_cast<size_t>(y) * width + x] = (x * 7 + y * 13) & 0xFF;
  return img;
}

TEST(WriteGreyBmp, LaysOut256By256BottomUpAsGreyTriples) {
  TempDir tmp;
  const std::string path = tmp.Dir() + "crop.bmp";
  const std::vector<uint8_t> img = Gradient(256, 256);
  ASSERT_EQ(WriteGreyBmp(img.data(), 256, 256, path), 1);

  const std::vector<uint8_t> f = ReadBytes(path);
  ASSERT_EQ(f.size(), 196662u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(U32At(f, 2), 196662u);
  EXPECT_EQ(U32At(f, 6), 0u);  // both reserved words
  EXPECT_EQ(U32At(f, 10), 54u);
  EXPECT_EQ(U32At(f, 14), 40u);
  EXPECT_EQ(U32At(f, 18), 256u);
  EXPECT_EQ(U32At(f, 22), 256u);
  EXPECT_EQ(f[26] | (f[27] << 8), 1);
  EXPECT_EQ(f[28] | (f[29] << 8), 24);
  for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32At(f, at), 0u) << "offset " << at;

  // First triple: source row 255, column 0.
  const uint8_t bottomLeft = img[255 * 256];
  EXPECT_EQ(f[54], bottomLeft);
  EXPECT_EQ(f[55], bottomLeft);
  EXPECT_EQ(f[56], bottomLeft);
  for (int row = 0; row < 256; ++row) {
    for (int x = 0; x < 256; ++x) {
      const size_t at = 54 + (static_cast<size_t>(row) * 256 + x) * 3;
      const uint8_t v = img[static_cast<size_t>(255 - row) * 256 + x];
      ASSERT_TRUE(f[at] == v && f[at + 1] == v && f[at + 2] == v) << row << "," << x;
    }
  }
}

TEST(WriteGreyBmp, EyeImageSizesMatchTheirDumps) {
  TempDir tmp;
  const std::pair<int, int> sizes[] = {{360, 360}, {960, 960}, {1280, 960}, {1280, 1080}};
  for (auto [w, h] : sizes) {
    const std::vector<uint8_t> img = Gradient(w, h);
    const std::string path = tmp.Dir() + std::to_string(w) + "x" + std::to_string(h) + ".bmp";
    ASSERT_EQ(WriteGreyBmp(img.data(), w, h, path), 1);
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(w) * h * 3 + 54);
    EXPECT_EQ(GreyBmpFileSize(w, h), static_cast<uint64_t>(w) * h * 3 + 54);
  }
  EXPECT_EQ(std::filesystem::file_size(tmp.Dir() + "360x360.bmp"), 388854u);
}

TEST(WriteGreyBmp, PadsRowsOfOddWidthsToFourBytes) {
  TempDir tmp;
  const uint8_t img[] = {1, 2, 3, 4, 5, 6};  // 3 x 2, top row 1 2 3
  const std::string path = tmp.Dir() + "odd.bmp";
  ASSERT_EQ(WriteGreyBmp(img, 3, 2, path), 1);
  const std::vector<uint8_t> f = ReadBytes(path);
  ASSERT_EQ(f.size(), 54u + 12 * 2);
  EXPECT_EQ(U32At(f, 2), 78u);
  const std::vector<uint8_t> pixels(f.begin() + 54, f.end());
  const std::vector<uint8_t> expected = {4, 4, 4, 5, 5, 5, 6, 6, 6, 0, 0, 0,
                                         1, 1, 1, 2, 2, 2, 3, 3, 3, 0, 0, 0};
  EXPECT_EQ(pixels, expected);
}

TEST(WriteGreyBmp, RefusesEmptyImagesWithoutWriting) {
  TempDir tmp;
  MessageBoxes boxes;
  const uint8_t px = 0;
  EXPECT_EQ(WriteGreyBmp(nullptr, 4, 4, tmp.Dir() + "a.bmp"), -1);
  EXPECT_EQ(WriteGreyBmp(&px, 0, 4, tmp.Dir() + "b.bmp"), -1);
  EXPECT_EQ(WriteGreyBmp(&px, 4, -1, tmp.Dir() + "c.bmp"), -1);
  EXPECT_EQ(GreyBmpFileSize(40000, 40000), 0u);  // beyond the 32-bit size field
  EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(WriteGreyBmp, UnwritablePathShowsTheSaveErrorWithPath) {
  TempDir tmp;
  MessageBoxes boxes;
  const std::string path = tmp.Dir() + "missing/dir/x.bmp";
  const std::vector<uint8_t> img = Gradient(8, 8);
  EXPECT_EQ(WriteGreyBmp(img.data(), 8, 8, path), -1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, "无法保存指定的文件," + path);
  EXPECT_EQ(boxes.shown[0].second, "Lumexa(TM)控件");
}

TEST(WriteRawFile, WritesExactlyTheBytesAndTruncates) {
  TempDir tmp;
  const std::string path = tmp.Dir() + "frame.raw";
  std::vector<uint8_t> big(1920 * 1080);
  std::iota(big.begin(), big.end(), 0);
  ASSERT_TRUE(WriteRawFile(big.data(), big.size(), path));
  EXPECT_EQ(ReadBytes(path), big);

  const uint8_t small[] = {9, 8, 7};
  ASSERT_TRUE(WriteRawFile(small, sizeof small, path));
  EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>(small, small + 3));

  ASSERT_TRUE(WriteRawFile(nullptr, 0, path));  // an empty database copy is an empty file
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(WriteRawFile, UnwritablePathShowsTheOpenErrorAndGoesOn) {
  TempDir tmp;
  MessageBoxes boxes;
  const uint8_t b = 1;
  EXPECT_FALSE(WriteRawFile(&b, 1, tmp.Dir() + "no/such/dir.raw"));
  EXPECT_FALSE(WriteRawFile(&b, 1, tmp.Path()));  // a directory
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].first, "open file error(write).");
  EXPECT_EQ(boxes.shown[1].first, "open file error(write).");
}

TEST(WriteRawFile, FailedWriteIsReportedNotLost) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  MessageBoxes boxes;
  const std::vector<uint8_t> data(4096, 1);
  EXPECT_FALSE(WriteRawFile(data.data(), data.size(), "/dev/full"));
  EXPECT_EQ(boxes.shown.size(), 1u);
  const std::vector<uint8_t> img(64 * 64, 7);
  EXPECT_EQ(WriteGreyBmp(img.data(), 64, 64, "/dev/full"), -1);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST(EnsureDirectory, CreatesOneLevelAndNeverFailsOrdinarily) {
  TempDir tmp;
  MessageBoxes boxes;
  const std::string dir = tmp.Dir() + "\\CaptureIris";  // doubled separator, Windows style
  EXPECT_EQ(EnsureDirectory(dir), 1);
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Dir() + "CaptureIris"));
  EXPECT_EQ(EnsureDirectory(dir), 1);

  // Two missing levels: reported as done, and the following write shows its message.
  const std::string deep = tmp.Dir() + "a\\b";
  EXPECT_EQ(EnsureDirectory(deep), 1);
  EXPECT_FALSE(std::filesystem::exists(tmp.Dir() + "a"));
  const uint8_t b = 0;
  EXPECT_FALSE(WriteRawFile(&b, 1, deep + "\\x.raw"));
  EXPECT_EQ(boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace ocuvant::support
