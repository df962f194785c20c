// Occlusion mask: cells of the normalised iris whose pixels mostly lie in the iris grey
// band are usable; gaps are filled and the mask eroded; outliers become the iris median.
#include "engine/smallbig/pipeline.h"

namespace ocuvant::engine::smallbig {

namespace {

// Clears a usable cell next to an unusable one unless its own count reaches `keep`.
void FillGaps(EngineState& s, int keep) {
  for (int b = 0; b < kBands; ++b)
    for (int c = 0; c < kBlocks; ++c)
      if ((!s.grid[c][b] || !s.grid[c + 2][b]) && s.counts[c + 1][b] < keep) s.grid[c + 1][b] = 0;
}

// A cell stays usable only when both neighbours are (the end columns never change).
void Erode(EngineState& s) {
  for (int b = 0; b < kBands; ++b) {
    uint8_t valid[kBlocks];
    for (int a = 0; a < kBlocks; ++a) valid[a] = s.grid[a][b] & s.grid[a + 1][b] & s.grid[a + 2][b];
    for (int a = 0; a < kBlocks; ++a) s.grid[a + 1][b] = valid[a];
  }
}

}  // namespace

int32_t OcclusionStage(Stage& st) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const int cols = k.normCols;
  uint8_t* n = s.normalized;

  const int32_t lo = (s.pupilLevel2 + s.iq25) / 2 + k.bandLoAdd;
  const int32_t hi = (s.iq75 + s.scleraLevel2) / 2 + k.bandHiAdd;
  for (int c = 0; c < kBlocks + 2; ++c) {
    for (int b = 0; b < kBands; ++b) {
      int count = 0;
      const int r0 = k.cellRow0 + k.cellRowStep * b, c0 = k.cellCol0 + k.cellColStep * c;
      for (int r = r0; r < r0 + k.cellRows; ++r)
        for (int x = c0; x < c0 + k.cellCols; ++x) {
          const int p = n[r * cols + x];
          count += p > lo && p < hi;
        }
      s.counts[c][b] = static_cast<uint8_t>(count);
      s.grid[c][b] = count > 48;
    }
  }
  FillGaps(s, 56);
  FillGaps(s, 60);
  Erode(s);
  Erode(s);
  int valid = 0;
  for (int a = 0; a < kBlocks; ++a)
    for (int b = 0; b < kBands; ++b) {
      s.validCells[a][b] = s.grid[a + 1][b];
      valid += s.validCells[a][b];
    }
  s.visible = 100 * valid / (kBlocks * kBands);
  if (s.visible < st.th.visualMin) return kVisibleIris;

  const int32_t lo2 = (3 * s.pupilLevel2 + s.iq25) / 4;
  const int32_t hi2 = (s.iq75 + 3 * s.scleraLevel2) / 4;
  const uint8_t median = static_cast<uint8_t>(s.irisMedian);
  for (int i = 0; i < k.normRows * cols; ++i)
    if (n[i] >= hi2 || n[i] <= lo2) n[i] = median;
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
