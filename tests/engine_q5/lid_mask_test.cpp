// The mask beyond the eyelids (Q5 stage 5 step 8): the rows from -r to the upper lid
// and from the lower lid to r, clamped to the image only.
#include <gtest/gtest.h>

#include <vector>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {
namespace {

// The rows a plain reading of the rule masks in column x (relative to the centre).
bool Masked(int32_t y, int32_t x, Circle iris, EyelidCurve u, EyelidCurve l) {
  const int32_t yU = (4096 * u.c + u.k * (x - u.h) * (x - u.h)) >> 12;
  const int32_t yL = (4096 * l.c + l.k * (x - l.h) * (x - l.h)) >> 12;
  return (y >= -iris.r && y <= yU) || (y >= yL && y <= iris.r);
}

void Check(int32_t width, int32_t height, Circle iris, EyelidCurve u, EyelidCurve l) {
  std::vector<uint8_t> pixels(size_t(width) * height, 7);
  const Plane eye{pixels.data(), width, height};
  MaskBeyondLids(eye, iris, u, l);
  int masked = 0;
  for (int32_t py = 0; py < height; ++py) {
    for (int32_t px = 0; px < width; ++px) {
      const int32_t x = px - iris.x, y = py - iris.y;
      const bool expect = x >= -iris.r && x < iris.r && Masked(y, x, iris, u, l);
      ASSERT_EQ(eye.At(px, py), expect ? 255 : 7) << "pixel " << px << "," << py;
      masked += expect;
    }
  }
  EXPECT_GT(masked, 0);
}

TEST(Q5LidMask, LidsInsideTheSquare) {
  Check(120, 100, {60, 50, 30}, {-20, 5, 4}, {18, -5, -8});
}

// An upper lid below the square's bottom (yU > r) masks the whole column down to yU;
// a lower lid above its top (yL < -r) masks from yL; both stop at the image's edges.
TEST(Q5LidMask, LidsBeyondTheSquareStillMaskTheirRows) {
  Check(120, 100, {60, 50, 20}, {30, 0, 0}, {40, 0, 0});    // yU = 30 > r
  Check(120, 100, {60, 50, 20}, {-40, 0, 0}, {-30, 0, 0});  // yL = -30 < -r
  Check(60, 40, {5, 3, 20}, {30, 13, 9}, {-35, -13, 0});    // a corner: clamped to the image
}

}  // namespace
}  // namespace ocuvant::engine::q5
