// Stage 9: odd and even Gabor responses at 128 x 8 positions, the texture value from
// their lower quartiles, and the template bits.
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "engine/q5/q5_profile.h"
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

template <typename KernelT>
int32_t Respond(const State& s, const KernelT& kernel, int32_t row0, int32_t col0) {
  constexpr auto kCols = static_cast<int32_t>(std::tuple_size_v<typename KernelT::value_type>);
  int32_t sum = 0;
  for (int32_t r = 0; r < kKernelRows; ++r) {
    const uint8_t* n = &s.normalizedIris[row0 + r][col0];
    const int16_t* k = kernel[r].data();
    for (int32_t c = 0; c < kCols; ++c) sum += k[c] * n[c];
  }
  return sum;
}

// Lower quartile of the magnitudes over the valid cells, in units of 32768.
int32_t LowerQuartile(const State& s, const int32_t (&resp)[kCells][kBands]) {
  int32_t hist[1024] = {};
  int32_t count = 0;
  for (int32_t p = 0; p < kCells; ++p)
    for (int32_t b = 0; b < kBands; ++b)
      if (s.validCells[p][b]) {
        const int32_t v = std::abs(resp[p][b]) >> 15;
        ++hist[v < 1023 ? v : 1023];
        ++count;
      }
  return HistQuantile(hist, 1024, count, 1, 4);
}

}  // namespace

void FilterResponses(State& s) {
  for (int32_t p = 0; p < kCells; ++p)
    for (int32_t b = 0; b < kBands; ++b) {
      s.oddResponse[p][b] = Respond(s, KernelOdd, 6 + 13 * b, 48 + 4 * p);
      s.evenResponse[p][b] = Respond(s, KernelEven, 6 + 13 * b, 44 + 4 * p);
    }
}

int32_t Encode(State& s, uint8_t* templateOut) {
  FilterResponses(s);
  s.tEven = LowerQuartile(s, s.evenResponse);
  s.tOdd = LowerQuartile(s, s.oddResponse);
  s.textureValue = s.tEven + s.tOdd;
  if (s.textureValue < s.thresholds.textureMin) return kTexture;

  uint8_t bytes[kTemplateBytes] = {};
  const int32_t evenLimit = s.tEven * 32768, oddLimit = s.tOdd * 32768;
  for (int32_t p = 0; p < kCells; ++p)
    for (int32_t b = 0; b < kBands; ++b) {
      const auto bit = static_cast<uint8_t>(1u << b);
      const int32_t re = s.evenResponse[p][b], ro = s.oddResponse[p][b];
      if (s.validCells[p][b] && std::abs(re) > evenLimit) bytes[p] |= bit;
      if (s.validCells[p][b] && std::abs(ro) > oddLimit) bytes[kPlaneBytes + p] |= bit;
      if (re > 0) bytes[2 * kPlaneBytes + p] |= bit;
      if (ro > 0) bytes[3 * kPlaneBytes + p] |= bit;
    }
  std::memcpy(templateOut, bytes, kTemplateBytes);
  return kOk;
}

}  // namespace ocuvant::engine::q5
