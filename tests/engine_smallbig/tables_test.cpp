// Direction and kernel tables against their formulas and the rows the design fixes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/smallbig/tables.h"

namespace ocuvant::engine::smallbig {
namespace {

using ::testing::ElementsAreArray;

template <size_t N>
std::vector<int32_t> Row(const std::array<int32_t, N>& r) {
  return {r.begin(), r.end()};
}

TEST(Tables, DirectionsFollowTheFormulaWithTheTopEntryClamped) {
  for (int m = 0; m < 512; ++m) {
    const double a = 2 * std::numbers::pi * m / 512;
    EXPECT_EQ(DirX[m], std::min(32767L, std::lround(32768 * std::cos(a)))) << m;
    EXPECT_EQ(DirY[m], std::min(32767L, std::lround(32768 * std::sin(a)))) << m;
  }
  // m counts toward +y (down on screen): 128 down, 256 left, 384 up.
  EXPECT_EQ(DirX[0], 32767);
  EXPECT_EQ(DirY[128], 32767);
  EXPECT_EQ(DirX[256], -32768);
  EXPECT_EQ(DirY[384], -32768);
  EXPECT_EQ(DirX[128], 0);
  EXPECT_EQ(DirY[0], 0);
}

TEST(Tables, OddKernelMatchesItsFormulaAndTellingRows) {
  for (int i = 0; i < 13; ++i)
    for (int j = 0; j < 25; ++j) {
      const double v = 16384 *
                       std::exp2(-(i - 6.0) * (i - 6.0) / 4 - (j - 12.0) * (j - 12.0) / 36) *
                       std::sin(std::numbers::pi * (j - 12) / 6);
      EXPECT_EQ(KernelOdd[i][j], std::lround(v)) << i << "," << j;
    }
  EXPECT_THAT(Row(KernelOdd[6]),
              ElementsAreArray({0,      797,    2069,  3444,  4138,  3189,  0,     -5062, -10427,
                                -13777, -13137, -8036, 0,     8036,  13137, 13777, 10427, 5062,
                                0,      -3189,  -4138, -3444, -2069, -797,  0}));
  EXPECT_THAT(Row(KernelOdd[0]),
              ElementsAreArray({0,  2,  4,  7,  8,  6, 0,  -10, -20, -27, -26, -16, 0,
                                16, 26, 27, 20, 10, 0, -6, -8,  -7,  -4,  -2,  0}));
}

TEST(Tables, EvenKernelHasItsMeanRemovedAndSumsToZero) {
  double mean = 0;
  for (int i = 0; i < 13; ++i)
    for (int j = 0; j < 31; ++j)
      mean += 16384 * std::exp2(-(i - 6.0) * (i - 6.0) / 4 - (j - 15.0) * (j - 15.0) / 36) *
              std::cos(std::numbers::pi * (j - 15) / 6);
  mean /= 403;
  EXPECT_NEAR(mean, 66.3028, 1e-4);
  int64_t sum = 0;
  for (int i = 0; i < 13; ++i)
    for (int j = 0; j < 31; ++j) {
      sum += KernelEven[i][j];
      if (i == 6 && j == 15) continue;
      const double g = 16384 *
                       std::exp2(-(i - 6.0) * (i - 6.0) / 4 - (j - 15.0) * (j - 15.0) / 36) *
                       std::cos(std::numbers::pi * (j - 15) / 6);
      EXPECT_EQ(KernelEven[i][j], std::lround(g - mean)) << i << "," << j;
    }
  EXPECT_EQ(sum, 0);
  EXPECT_EQ(KernelEven[6][15], 16276);  // 16318 before the residue of 42 is taken off
  EXPECT_EQ(std::lround(16384 - mean), 16318);
  EXPECT_THAT(
      Row(KernelEven[6]),
      ElementsAreArray({-66,   122,   482,  958,   1315,  1128,  -66,  -2455, -5590, -8258, -8834,
                        -6086, -66,   7518, 13852, 16276, 13852, 7518, -66,   -6086, -8834, -8258,
                        -5590, -2455, -66,  1128,  1315,  958,   482,  122,   -66}));
  EXPECT_THAT(Row(KernelEven[0]),
              ElementsAreArray({-66, -66, -65, -64, -64, -64, -66, -71, -77, -82, -83,
                                -78, -66, -51, -39, -34, -39, -51, -66, -78, -83, -82,
                                -77, -71, -66, -64, -64, -64, -65, -66, -66}));
}

}  // namespace
}  // namespace ocuvant::engine::smallbig
