// Normalisation, occlusion blocks (gap closing, erosion, visible percent) and encoding,
// driven through the module state directly.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {
namespace {

constexpr uint8_t kIris = 100, kOther = 255;

class Q5Ring : public ::testing::Test {
 protected:
  std::unique_ptr<State> state = std::make_unique<State>();
  State& s = *state;
  void SetUp() override {
    s.ringLevels = {20, 80, 100, 120, 200};  // lo = 49, hi = 161
    s.thresholds = {0, 0, 0};
    std::memset(s.normalizedIris, kIris, sizeof s.normalizedIris);
  }
  // Rows 12 + 13b .. 20 + 13b belong to band b alone; marking n of its 36 samples in block
  // q' (columns 58 + 4q' ..) as non-iris leaves 68 - n iris samples there.
  void Weaken(int32_t qBlock, int32_t band, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
      s.normalizedIris[12 + 13 * band + i / 4][58 + 4 * qBlock + i % 4] = kOther;
  }
  void Invalidate(int32_t qBlock, int32_t band) { Weaken(qBlock, band, 36); }
  int32_t InvalidCellsInBand(int32_t band, int32_t* first = nullptr) {
    int32_t n = 0;
    for (int32_t q = kCells - 1; q >= 0; --q)
      if (!s.validCells[q][band]) {
        ++n;
        if (first) *first = q;
      }
    return n;
  }
};

TEST_F(Q5Ring, FlatRingIsAllValid) {
  EXPECT_EQ(Occlusion(s), 1);
  EXPECT_EQ(s.visiblePercent, 100);
}

TEST_F(Q5Ring, ErosionWidensOneInvalidBlockToFiveCells) {
  Invalidate(40, 3);
  ComputeValidCells(s, 49, 161);
  int32_t first = -1;
  EXPECT_EQ(InvalidCellsInBand(3, &first), 5);
  EXPECT_EQ(first, 37);  // block 40 is cell 39: cells 37..41
  EXPECT_EQ(InvalidCellsInBand(2), 0);
  EXPECT_EQ(InvalidCellsInBand(4), 0);
}

TEST_F(Q5Ring, GapClosingClearsWeakBlocksBesideAnInvalidOne) {
  // 50 iris samples: cleared by the first pass (50 < 56); 58: cleared by the second
  // (58 < 60); 61 survives. A cleared block widens the run by one cell.
  const int32_t cases[][2] = {{50, 6}, {58, 6}, {61, 5}};
  for (const auto& [iris, invalid] : cases) {
    SetUp();
    Invalidate(40, 0);
    Weaken(41, 0, 68 - iris);
    ComputeValidCells(s, 49, 161);
    EXPECT_EQ(InvalidCellsInBand(0), invalid) << iris;
  }
  // To the right a run of weak blocks is cleared entirely; to the left each pass clears only
  // the block next to the invalid run: blocks 38..43 end invalid, 36..45 after erosion.
  SetUp();
  Invalidate(40, 5);
  for (int32_t q : {36, 37, 38, 39, 41, 42, 43}) Weaken(q, 5, 18);  // 50 iris samples each
  ComputeValidCells(s, 49, 161);
  int32_t first = -1;
  EXPECT_EQ(InvalidCellsInBand(5, &first), 10);
  EXPECT_EQ(first, 35);  // block 36 is cell 35
}

TEST_F(Q5Ring, VisiblePercentTruncatesAndFailsBelowTheMinimum) {
  Invalidate(20, 1);
  Invalidate(80, 1);  // 2 x 5 invalid cells: 1014 valid
  EXPECT_EQ(Occlusion(s), 1);
  EXPECT_EQ(s.visiblePercent, 99);

  SetUp();
  for (int32_t b : {0, 2, 4, 6, 7})
    for (int32_t q = 0; q < 130; ++q) Invalidate(q, b);  // 5 x 128 invalid cells
  for (int32_t q = 40; q < 88; ++q) Invalidate(q, 3);    // 48 blocks: 52 cells
  s.thresholds.visualMin = 33;                           // default match minimum
  EXPECT_EQ(Occlusion(s), kVisibleIris);
  EXPECT_EQ(s.visiblePercent, 32);
  int32_t valid = 0;
  for (auto& q : s.validCells)
    for (uint8_t v : q) valid += v;
  EXPECT_EQ(valid, 332);
}

TEST_F(Q5Ring, OccludedSamplesBecomeTheIrisMedianAfterTheCheck) {
  Weaken(50, 2, 4);
  ASSERT_EQ(Occlusion(s), 1);
  for (auto& row : s.normalizedIris)
    for (uint8_t v : row) ASSERT_NE(v, 255);
  EXPECT_EQ(s.normalizedIris[12 + 26][58 + 200], 100);  // Q50
}

TEST_F(Q5Ring, FlatRingHasNoTextureAndNoCodeBits) {
  ASSERT_EQ(Occlusion(s), 1);
  uint8_t tmpl[512];
  std::memset(tmpl, 0xAB, sizeof tmpl);
  s.thresholds.textureMin = 1;
  EXPECT_EQ(Encode(s, tmpl), kTexture);
  EXPECT_EQ(s.textureValue, 0);
  EXPECT_EQ(tmpl[0], 0xAB);  // untouched on failure
  s.thresholds.textureMin = 0;
  ASSERT_EQ(Encode(s, tmpl), 1);
  for (uint8_t b : tmpl) ASSERT_EQ(b, 0);  // zero responses: no mask bits, sign bits 0
}

// Fills the ring with a pattern over the 512 angular samples (plus wrap columns).
void FillPattern(State& s, int32_t shift) {
  for (int32_t k = 0; k < kNormRows; ++k)
    for (int32_t l = 0; l < kAngularSamples; ++l) {
      const uint32_t a = static_cast<uint32_t>((l + shift) & 511);
      uint32_t h = a * 2654435761u ^ static_cast<uint32_t>(k / 6) * 40503u;
      h ^= h >> 13;
      s.normalizedIris[k][kWrap + l] = static_cast<uint8_t>(60 + (h % 80));
    }
  for (auto& row : s.normalizedIris)
    for (int32_t i = 0; i < kWrap; ++i) {
      row[i] = row[kAngularSamples + i];
      row[kAngularSamples + kWrap + i] = row[kWrap + i];
    }
}

TEST_F(Q5Ring, TurningTheRingByOneCellShiftsEveryPlaneByOneByte) {
  uint8_t a[512], b[512];
  FillPattern(s, 0);
  ASSERT_EQ(Occlusion(s), 1);
  ASSERT_EQ(Encode(s, a), 1);
  EXPECT_GT(s.textureValue, 0);
  const int32_t texture = s.textureValue;
  FillPattern(s, 4);  // sample l now holds what sample l + 4 held
  ASSERT_EQ(Occlusion(s), 1);
  ASSERT_EQ(Encode(s, b), 1);
  EXPECT_EQ(s.textureValue, texture);
  for (int plane = 0; plane < 4; ++plane)
    for (int j = 0; j < 128; ++j)
      ASSERT_EQ(b[plane * 128 + j], a[plane * 128 + (j + 1) % 128]) << plane << " " << j;
  // Mask bits mark responses above the lower quartile: about three quarters of each plane.
  int32_t bits = 0;
  for (int j = 0; j < 128; ++j) bits += __builtin_popcount(a[j]);
  EXPECT_NEAR(bits, 768, 20);
}

TEST_F(Q5Ring, NormalisationSamplesBetweenTheBoundaryPointsAndWraps) {
  std::vector<uint8_t> eye(kEyeWidth * kEyeHeight);
  for (int32_t y = 0; y < kEyeHeight; ++y)
    for (int32_t x = 0; x < kEyeWidth; ++x)
      eye[y * kEyeWidth + x] = static_cast<uint8_t>((x + 3 * y) & 0xFF);
  for (int32_t l = 0; l < kAngularSamples; ++l) {
    s.pupilPoints[l] = {600, 500};
    s.irisPoints[l] = {600 + 128, 500 - 256};
  }
  s.pupilPoints[7] = {1270, 5};  // runs out of the image
  s.irisPoints[7] = {1270 + 128, 5};
  Normalize(s, EyePlane(eye.data()));
  auto at = [&](int32_t x, int32_t y) { return eye[y * kEyeWidth + x]; };
  EXPECT_EQ(s.normalizedIris[0][64], at(600, 500));
  EXPECT_EQ(s.normalizedIris[1][64], at(601, 498));
  EXPECT_EQ(s.normalizedIris[127][64], at(727, 246));  // 127/128 of the way
  EXPECT_EQ(s.normalizedIris[9][64 + 7], at(1279, 5));
  EXPECT_EQ(s.normalizedIris[10][64 + 7], 255);
  for (int32_t i = 0; i < 64; ++i) {
    EXPECT_EQ(s.normalizedIris[30][i], s.normalizedIris[30][512 + i]);
    EXPECT_EQ(s.normalizedIris[30][576 + i], s.normalizedIris[30][64 + i]);
  }
}

}  // namespace
}  // namespace ocuvant::engine::q5
