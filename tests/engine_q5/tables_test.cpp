// The compile-time tables against their formulas evaluated at run time, and the check
// values the kernels must hit.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/q5/q5_geometry.h"
#include "engine/q5/q5_tables.h"

namespace ocuvant::engine::q5 {
namespace {

TEST(Q5Tables, DirectionTablesFollowTheFormula) {
  for (int m = 0; m < kDirections; ++m) {
    const double phi = 2 * M_PI * m / 512;
    auto q = [](double v) { return std::min(32767.0, std::floor(32768 * v + 0.5)); };
    EXPECT_EQ(DirX[m], q(std::cos(phi))) << m;
    EXPECT_EQ(DirY[m], q(std::sin(phi))) << m;
  }
  // Right, down, left, up; 1.0 is limited to 32767 while -1.0 stays -32768.
  EXPECT_EQ(DirX[0], 32767);
  EXPECT_EQ(DirY[128], 32767);
  EXPECT_EQ(DirX[256], -32768);
  EXPECT_EQ(DirY[384], -32768);
  // Ring points: direction indices wrap modulo 512, y grows downward.
  EXPECT_EQ(RingPoint(100, 100, 50, 128).y, 150);
  EXPECT_EQ(RingPoint(100, 100, 50, 384).y, 50);
  EXPECT_EQ(RingPoint(100, 100, 50, -128).y, 50);
  EXPECT_EQ(RingPoint(100, 100, 50, 0).x, 150);
  EXPECT_EQ(RingPoint(100, 100, 50, 256).x, 50);
}

TEST(Q5Tables, GaborKernelsMatchFormulaAndCheckValues) {
  double mean = 0;
  for (int r = 0; r < 21; ++r)
    for (int c = 0; c < 41; ++c)
      mean += 16384 * std::exp2(-(r - 10.0) * (r - 10) / 16) *
              std::exp2(-(c - 20.0) * (c - 20) / 64) * std::cos(2 * M_PI * (c - 20) / 16);
  mean /= 861;
  EXPECT_NEAR(mean, 82.7124, 1e-4);
  int64_t sumOdd = 0, sumEven = 0;
  for (int r = 0; r < 21; ++r) {
    const double er = std::exp2(-(r - 10.0) * (r - 10) / 16);
    for (int c = 0; c < 33; ++c) {
      const double v =
          16384 * er * std::exp2(-(c - 16.0) * (c - 16) / 64) * std::sin(2 * M_PI * (c - 16) / 16);
      EXPECT_EQ(KernelOdd[r][c], std::round(v)) << r << "," << c;
      sumOdd += KernelOdd[r][c];
    }
    for (int c = 0; c < 41; ++c) {
      const double g =
          16384 * er * std::exp2(-(c - 20.0) * (c - 20) / 64) * std::cos(2 * M_PI * (c - 20) / 16);
      if (r != 10 || c != 20) {
        EXPECT_EQ(KernelEven[r][c], std::round(g - mean)) << r << "," << c;
      }
      sumEven += KernelEven[r][c];
    }
  }
  EXPECT_EQ(sumOdd, 0);
  EXPECT_EQ(sumEven, 0);
  EXPECT_EQ(KernelOdd[10][12], -13777);
  EXPECT_EQ(KernelOdd[10][20], 13777);
  EXPECT_EQ(KernelOdd[0][12], -181);
  EXPECT_EQ(KernelOdd[10][0], 0);
  EXPECT_EQ(KernelEven[10][20], 16330);
  EXPECT_EQ(KernelEven[10][12], -8275);
  EXPECT_EQ(KernelEven[10][16], -83);
  EXPECT_EQ(KernelEven[0][0], -83);
}

}  // namespace
}  // namespace ocuvant::engine::q5
