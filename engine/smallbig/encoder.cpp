// Encoding: even and odd Gabor responses at the 1024 cell centres, the texture value from
// their magnitude quantiles, and the template bits.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/common/engine_types.h"
#include "engine/smallbig/pipeline.h"
#include "engine/smallbig/tables.h"

namespace ocuvant::engine::smallbig {

namespace {

template <size_t Cols>
int32_t Response(const uint8_t* n, int cols, int row0, int col0, int tap,
                 const std::array<std::array<int32_t, Cols>, 13>& kernel) {
  int32_t sum = 0;
  for (int i = 0; i < 13; ++i) {
    const uint8_t* row = n + (row0 + tap * i) * cols + col0;
    for (size_t j = 0; j < Cols; ++j) sum += row[tap * static_cast<int>(j)] * kernel[i][j];
  }
  return sum;
}

// First bin (magnitude >> 15, at most 1023) whose cumulative count over the valid cells
// reaches a sixteenth of them.
int32_t MagnitudeQuantile(const EngineState& s, const int32_t (&r)[kBlocks][kBands], int valid) {
  uint16_t bins[1024] = {};
  for (int a = 0; a < kBlocks; ++a)
    for (int b = 0; b < kBands; ++b)
      if (s.validCells[a][b]) ++bins[std::min(std::abs(r[a][b]) >> 15, 1023)];
  const int target = valid / 16;
  int cumulative = 0;
  for (int i = 0; i < 1024; ++i) {
    cumulative += bins[i];
    if (cumulative >= target) return i;
  }
  return 1023;
}

}  // namespace

int32_t EncodeStage(Stage& st, uint8_t* templateOut) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const uint8_t* n = s.normalized;
  int valid = 0;
  for (int a = 0; a < kBlocks; ++a) {
    for (int b = 0; b < kBands; ++b) {
      const int row0 = k.filterRowStep * b;
      const int col = k.filterColStep * a;
      s.rodd[a][b] = Response(n, k.normCols, row0, k.oddCol0 + col, k.filterTap, KernelOdd);
      s.reven[a][b] = Response(n, k.normCols, row0, k.evenCol0 + col, k.filterTap, KernelEven);
      valid += s.validCells[a][b];
    }
  }
  s.tEven = MagnitudeQuantile(s, s.reven, valid);
  s.tOdd = MagnitudeQuantile(s, s.rodd, valid);
  s.texture = s.tEven + s.tOdd;
  if (s.texture < st.th.textureMin) return kTexture;

  uint8_t* bits = templateOut;
  std::memset(bits, 0, kTemplateBytes);
  const int64_t evenMin = int64_t{s.tEven} * 32768, oddMin = int64_t{s.tOdd} * 32768;
  for (int a = 0; a < kBlocks; ++a) {
    for (int b = 0; b < kBands; ++b) {
      const uint8_t bit = static_cast<uint8_t>(1u << b);
      const bool usable = s.validCells[a][b];
      if (usable && std::abs(s.reven[a][b]) > evenMin) bits[a] |= bit;
      if (usable && std::abs(s.rodd[a][b]) > oddMin) bits[kPlaneBytes + a] |= bit;
      if (s.reven[a][b] > 0) bits[2 * kPlaneBytes + a] |= bit;
      if (s.rodd[a][b] > 0) bits[3 * kPlaneBytes + a] |= bit;
    }
  }
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
