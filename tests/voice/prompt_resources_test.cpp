#include "session/prompt_resources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/wave.h"

namespace ocuvant::session {
namespace {

struct Expected {
  int32_t id;
  uint32_t rate;
  uint16_t bits;
  double seconds;
};

// Resource number, format and length of each prompt.
const Expected kTable[] = {
    {201, 16000, 16, 1.50}, {202, 16000, 16, 1.34}, {203, 16000, 16, 1.39}, {204, 16000, 16, 1.60},
    {205, 16000, 16, 1.33}, {206, 16000, 16, 1.38}, {207, 16000, 16, 0.89}, {208, 16000, 16, 1.55},
    {209, 16000, 16, 1.94}, {210, 16000, 16, 2.40}, {215, 32000, 8, 2.11},
};

uint32_t U32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}
uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Sample value around 0 in the range [-1, 1).
double Sample(const uint8_t* data, uint16_t bits, size_t i) {
  if (bits == 8) return (data[i] - 128) / 128.0;
  return static_cast<int16_t>(U16(data + 2 * i)) / 32768.0;
}

TEST(PromptResources, ExactlyTheElevenPrompts) {
  ASSERT_EQ(kPromptResourceCount, std::size(kTable));
  for (const Expected& e : kTable) EXPECT_NE(FindPromptResource(e.id), nullptr) << e.id;
  EXPECT_EQ(FindPromptResource(200), nullptr);
  EXPECT_EQ(FindPromptResource(211), nullptr);
  EXPECT_EQ(FindPromptResource(0), nullptr);
}

// Header read field by field (independently of the player's parser), length within
// 10 ms of the table, and the player's parser agrees.
TEST(PromptResources, FormatsAndLengthsMatchTheTable) {
  for (const Expected& e : kTable) {
    SCOPED_TRACE(e.id);
    const PromptResource* p = FindPromptResource(e.id);
    ASSERT_NE(p, nullptr);
    ASSERT_GE(p->size, 44u);
    const uint8_t* w = p->wav;
    EXPECT_EQ(std::string(w, w + 4), "RIFF");
    EXPECT_EQ(U32(w + 4), p->size - 8);
    EXPECT_EQ(std::string(w + 8, w + 16), "WAVEfmt ");
    EXPECT_EQ(U32(w + 16), 16u);
    EXPECT_EQ(U16(w + 20), 1);  // PCM
    EXPECT_EQ(U16(w + 22), 1);  // mono
    EXPECT_EQ(U32(w + 24), e.rate);
    EXPECT_EQ(U32(w + 28), e.rate * e.bits / 8);
    EXPECT_EQ(U16(w + 32), e.bits / 8);
    EXPECT_EQ(U16(w + 34), e.bits);
    EXPECT_EQ(std::string(w + 36, w + 40), "data");
    const uint32_t dataBytes = U32(w + 40);
    EXPECT_EQ(dataBytes, p->size - 44);
    const double seconds = static_cast<double>(dataBytes) / (e.bits / 8) / e.rate;
    EXPECT_NEAR(seconds, e.seconds, 0.010);

    const auto parsed = platform::ParseWave(p->wav, p->size);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->channels, 1);
    EXPECT_EQ(parsed->sampleRate, e.rate);
    EXPECT_EQ(parsed->bitsPerSample, e.bits);
    EXPECT_EQ(parsed->frames, dataBytes / (e.bits / 8));
  }
}

// Each prompt is speech: loud enough, not clipped flat, quiet at both ends.
TEST(PromptResources, EachPromptIsAudibleSpeechWithQuietEnds) {
  for (const Expected& e : kTable) {
    SCOPED_TRACE(e.id);
    const PromptResource* p = FindPromptResource(e.id);
    ASSERT_NE(p, nullptr);
    const uint8_t* data = p->wav + 44;
    const size_t n = (p->size - 44) / (e.bits / 8);
    double peak = 0, energy = 0;
    for (size_t i = 0; i < n; ++i) {
      const double s = Sample(data, e.bits, i);
      peak = std::max(peak, std::abs(s));
      energy += s * s;
    }
    EXPECT_GT(peak, 0.5);
    EXPECT_GT(std::sqrt(energy / n), 0.03);
    EXPECT_LT(std::abs(Sample(data, e.bits, 0)), 0.02);
    EXPECT_LT(std::abs(Sample(data, e.bits, n - 1)), 0.02);
  }
}

// The compiled-in bytes are the committed recordings.
TEST(PromptResources, CompiledBytesEqualTheCommittedFiles) {
  for (const Expected& e : kTable) {
    const std::string path =
        std::string(OCUVANT_PROMPT_DIR) + "/prompt_" + std::to_string(e.id) + ".wav";
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    const PromptResource* p = FindPromptResource(e.id);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(file, std::vector<uint8_t>(p->wav, p->wav + p->size)) << path;
  }
}

}  // namespace
}  // namespace ocuvant::session
