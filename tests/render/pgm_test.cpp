#include "simulator/render/pgm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace ocuvant::sim {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Pgm, WriteThenReadGivesTheSamePixels) {
  std::vector<uint8_t> pixels(7 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37);
  const std::string path = testing::TempDir() + "/render_pgm_roundtrip.pgm";
  ASSERT_TRUE(WritePgm(path, pixels.data(), 7, 3));
  PgmImage img;
  std::string error;
  ASSERT_TRUE(ReadPgm(path, img, error)) << error;
  EXPECT_EQ(img.width, 7);
  EXPECT_EQ(img.height, 3);
  EXPECT_EQ(img.pixels, pixels);
  std::remove(path.c_str());
  EXPECT_FALSE(ReadPgm(path, img, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WritePgm("/nonexistent-dir/x.pgm", pixels.data(), 7, 3));
}

TEST(Pgm, AcceptsCommentsAndRejectsWhatItCannotRead) {
  PgmImage img;
  std::string error;
  std::vector<uint8_t> ok = Bytes("P5\n# made by hand\n2 2 # size\n255\n");
  ok.insert(ok.end(), {0, 255, 10, 20});
  ASSERT_TRUE(ParsePgm(ok.data(), ok.size(), img, error)) << error;
  EXPECT_EQ(img.pixels, (std::vector<uint8_t>{0, 255, 10, 20}));

  const char* bad[] = {"P2\n2 2\n255\n1234",        // ASCII variant
                       "P5\n2 2\n65535\n12345678",  // 16-bit samples
                       "P5\n2 2\n255\n123",         // truncated raster
                       "P5\n0 2\n255\n",            // empty image
                       "P5\n99999999999 2\n255\n",  // absurd size
                       "P5\n2",                     // truncated header
                       "P5\n2 2\n255",              // no separator before the raster
                       ""};
  for (const char* text : bad) {
    const std::vector<uint8_t> b = Bytes(text);
    error.clear();
    EXPECT_FALSE(ParsePgm(b.data(), b.size(), img, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace ocuvant::sim
