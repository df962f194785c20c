#include "platform/wave.h"

#include <gtest/gtest.h>

#include <memory>

#include "wave_builder.h"

namespace ocuvant::platform {
namespace {

TEST(ParseWave, FindsFormatAndSamplesOfBothPromptFormats) {
  const auto s16 = BuildWave({.rate = 16000, .bits = 16, .frames = 24000});
  const auto wave16 = ParseWave(s16.data(), s16.size());
  ASSERT_TRUE(wave16);
  EXPECT_EQ(wave16->channels, 1);
  EXPECT_EQ(wave16->sampleRate, 16000u);
  EXPECT_EQ(wave16->bitsPerSample, 16);
  EXPECT_EQ(wave16->frames, 24000u);
  EXPECT_EQ(wave16->samples, s16.data() + 44);

  // An odd-sized chunk before "fmt " is padded to an even length.
  const auto u8 = BuildWave({.rate = 32000,
                             .bits = 8,
                             .frames = 67520,
                             .chunkBeforeFormat = std::string("LIST\x03\0\0\0abc\0", 12)});
  const auto wave8 = ParseWave(u8.data(), u8.size());
  ASSERT_TRUE(wave8);
  EXPECT_EQ(wave8->sampleRate, 32000u);
  EXPECT_EQ(wave8->bitsPerSample, 8);
  EXPECT_EQ(wave8->frames, 67520u);
  EXPECT_EQ(wave8->samples, u8.data() + 56);
}

TEST(ParseWave, MalformedImagesAreRejected) {
  const auto good = BuildWave({});
  EXPECT_FALSE(ParseWave(nullptr, good.size()));
  EXPECT_FALSE(ParseWave(good.data(), 11));
  auto broken = good;
  broken[0] = 'X';
  EXPECT_FALSE(ParseWave(broken.data(), broken.size()));
  broken = good;
  broken[8] = 'X';
  EXPECT_FALSE(ParseWave(broken.data(), broken.size()));
  broken = good;
  broken[16] = 15;  // "fmt " shorter than its fixed fields
  EXPECT_FALSE(ParseWave(broken.data(), broken.size()));
  broken = good;
  broken[12] = 'x';  // no "fmt " before "data"
  EXPECT_FALSE(ParseWave(broken.data(), broken.size()));
  broken = good;
  broken[32] = 3;  // block align disagrees with the sample format
  EXPECT_FALSE(ParseWave(broken.data(), broken.size()));
  broken = good;
  for (int i = 0; i < 4; ++i) broken[16 + i] = 0xFF;  // a chunk claiming 4 GiB
  EXPECT_FALSE(ParseWave(broken.data(), broken.size()));

  EXPECT_FALSE(ParseWave(BuildWave({.format = 3}).data(), good.size()));  // float
  EXPECT_FALSE(ParseWave(BuildWave({.bits = 24}).data(), good.size()));   // unsupported depth
  EXPECT_FALSE(ParseWave(BuildWave({.channels = 0}).data(), good.size()));
  EXPECT_FALSE(ParseWave(BuildWave({.channels = 3}).data(), good.size()));
  EXPECT_FALSE(ParseWave(BuildWave({.rate = 0}).data(), good.size()));
  EXPECT_FALSE(ParseWave(BuildWave({.frames = 0}).data(), 44));  // nothing to play
}

TEST(ParseWave, ATruncatedImageIsCutToItsWholeFramesAndNeverOverread) {
  const auto good = BuildWave({.frames = 100});
  // Each prefix in a buffer of exactly that size, so a read past it trips the sanitizer.
  for (size_t size = 0; size <= good.size(); ++size) {
    auto copy = std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
    std::copy(good.begin(), good.begin() + static_cast<ptrdiff_t>(size), copy.get());
    const auto wave = ParseWave(copy.get(), size);
    if (size < 46) {
      EXPECT_FALSE(wave) << size;
    } else {
      ASSERT_TRUE(wave) << size;
      EXPECT_EQ(wave->frames, (size - 44) / 2) << size;
    }
  }
  auto overstated = good;
  overstated[4] = 0xF0;  // RIFF size beyond the image
  overstated[5] = 0xFF;
  const auto wave = ParseWave(overstated.data(), overstated.size());
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->frames, 100u);
}

}  // namespace
}  // namespace ocuvant::platform
