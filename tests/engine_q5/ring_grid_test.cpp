// Ring sums of a grid of centres from the regrouped window equal the sums centre by
// centre, also where the rings leave the cut.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {
namespace {

constexpr Arc kArcs[] = {{320, 192, 2}, {288, 48, 2}, {64, 48, 2}};
constexpr int32_t kStride = 64;
constexpr int32_t kMaxCentresTested = 200;

TEST(RingGrid, WindowSumsAgreeWithCentreByCentre) {
  auto w = std::make_unique<RingWindow>();
  std::vector<uint8_t> pixels(kCropBytes);
  const Plane crop = CropPlane(pixels.data());
  std::mt19937 rng(77);
  struct Case {
    CentreGrid grid;
    int32_t r0, n, arcs;
  };
  const Case cases[] = {
      {{160, 200, 160, 196, 4}, 20, 60, 3},  // the first level
      {{150, 168, 170, 188, 2}, 10, 28, 3},  // the second
      {{175, 184, 175, 184, 1}, 30, 12, 1},  // the third
      {{-10, 30, 330, 370, 4}, 5, 40, 3},    // rings leave the cut at a corner
      {{160, 200, 160, 196, 3}, 0, 8, 3},    // another step; radius 0
      {{160, 165, 160, 165, 5}, -6, 4, 1},   // negative radii
      {{100, 250, 160, 170, 5}, 20, 10, 1},  // more centres in a row than the fast path takes
      {{160, 200, 160, 196, 4}, 120, 5, 3},  // a window larger than the scratch
      {{200, 160, 160, 196, 4}, 20, 5, 3},   // an empty grid
  };
  for (int pattern = 0; pattern < 2; ++pattern) {
    for (uint8_t& p : pixels) p = pattern == 0 ? static_cast<uint8_t>(rng()) : uint8_t{255};
    for (const Case& c : cases) {
      std::vector<int32_t> fast(kMaxCentresTested * kStride, -1), plain(fast);
      GridRingSums(*w, crop, c.grid, c.r0, c.n, kArcs, c.arcs, fast.data(), kStride);
      GridRingSumsPlain(crop, c.grid, c.r0, c.n, kArcs, c.arcs, plain.data(), kStride);
      EXPECT_EQ(fast, plain) << "grid x " << c.grid.x0 << ".." << c.grid.x1 << " step "
                             << c.grid.step << " r0 " << c.r0 << " pattern " << pattern;
    }
  }
}

}  // namespace
}  // namespace ocuvant::engine::q5
