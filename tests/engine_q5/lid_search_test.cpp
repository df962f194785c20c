// The eyelid search with all offsets of a curve family summed side by side finds the
// same curve and energy as scoring every curve on its own.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {
namespace {

struct Cut {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(kCropBytes);
  Plane plane() { return CropPlane(pixels.data()); }
};

void ExpectSame(LidScratch& w, Cut& cut, int32_t ri, const LidRange& q, const char* what) {
  const LidFit plain = SearchLidPlain(cut.plane(), ri, q);
  const LidFit fast = SearchLid(w, cut.plane(), ri, q);
  EXPECT_EQ(fast.energy, plain.energy) << what << " ri " << ri << " base " << q.base;
  EXPECT_EQ(fast.curve.c, plain.curve.c) << what << " ri " << ri << " base " << q.base;
  EXPECT_EQ(fast.curve.k, plain.curve.k) << what << " ri " << ri << " base " << q.base;
  EXPECT_EQ(fast.curve.h, plain.curve.h) << what << " ri " << ri << " base " << q.base;
}

// Both lids' ranges as the stage searches them, and bases that push the curves out of
// the cut at the top and the bottom.
std::vector<LidRange> Ranges(int32_t ri) {
  return {{172, 8, 1, 13, -ri - 16, 0},      {188, -8, -13, -1, 0, ri + 16},
          {10, 8, 1, 13, -ri - 16, 0},       {350, -8, -13, -1, 0, ri + 16},
          {172, 8, 13, 1, -ri - 16, 0},      {188, -8, -13, -1, 5, 5},
          {172, 8, 1, 13, -ri - 16, ri + 16}};
}

TEST(LidSearch, SideBySideSumsAgreeWithEveryCurveAlone) {
  auto w = std::make_unique<LidScratch>();
  std::mt19937 rng(2027);
  Cut cut;
  // Radii: none, tiny, typical, columns leaving the cut (> 180), more columns or offsets
  // than the scratch holds (the plain path), and one row of offsets past its limit.
  const int32_t radii[] = {-7, 0, 3, 60, 110, 150, 179, 181, 188, 189, 240, 252, 253};
  for (int pattern = 0; pattern < 4; ++pattern) {
    for (size_t n = 0; n < cut.pixels.size(); ++n) {
      const int32_t y = static_cast<int32_t>(n) / kCropSide;
      uint8_t v = 0;
      if (pattern == 0) v = static_cast<uint8_t>(rng());                  // noise
      if (pattern == 1) v = 90;                                           // every curve ties
      if (pattern == 2) v = y < 120 ? 20 : (y < 250 ? 140 : 255);         // two lid edges
      if (pattern == 3) v = static_cast<uint8_t>((rng() & 1) ? 255 : 0);  // saturated steps
      cut.pixels[n] = v;
    }
    for (int32_t ri : radii) {
      for (const LidRange& q : Ranges(ri)) ExpectSame(*w, cut, ri, q, "pattern");
    }
  }
}

}  // namespace
}  // namespace ocuvant::engine::q5
