// Single stages on crafted state: the detector and reflection removal against direct
// evaluation, tie rules, occlusion gap filling and erosion, the normalisation's wrap and
// direction, the encoder's rotation and bit order, profile mirroring.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/smallbig/radial_profile.h"
#include "engine/smallbig/running_sums.h"
#include "engine/smallbig/tables.h"
#include "engine_fixture.h"

namespace ocuvant::engine::smallbig::testing {
namespace {

// The detector score read sample by sample.
int32_t DirectScore(const std::vector<uint8_t>& img, int w, const SpotDetector& d, int x, int y,
                    int32_t* nearPlain) {
  auto I = [&](int px, int py) { return int32_t{img[static_cast<size_t>(py) * w + px]}; };
  int32_t T = 0, B = 0, L = 0, R = 0, t = 0, b = 0, l = 0, r = 0;
  for (int k = 0; k < d.farCount; ++k) {
    const int o = -d.farHalf + d.farSpacing * k;
    T += I(x + o, y - d.farHalf);
    B += I(x + o, y + d.farHalf);
    L += I(x - d.farHalf, y + o);
    R += I(x + d.farHalf, y + o);
  }
  for (int k = 0; k < d.nearCount; ++k) {
    const int o = -d.nearHalf + d.nearSpacing * k;
    t += I(x + o, y - d.nearHalf);
    b += I(x + o, y + d.nearHalf);
    l += I(x - d.nearHalf, y + o);
    r += I(x + d.nearHalf, y + o);
  }
  *nearPlain = t + b + l + r;
  return 96 * I(x, y) + T + L + R + 3 * B - 2 * (t + l + r + 3 * b);
}

class StageTest : public EngineTest {
 protected:
  // Winner of the detector by direct evaluation over a clamped rectangle.
  void DirectWinner(const std::vector<uint8_t>& img, int x0, int x1, int y0, int y1, int* bx,
                    int* by) {
    const KindParams& k = kind().params;
    int32_t best = 0;
    *bx = *by = -1;
    for (int y = y0; y < y1; y += 4)
      for (int x = x0; x < x1; x += 4) {
        int32_t nearPlain;
        const int32_t s = DirectScore(img, k.width, k.spot, x, y, &nearPlain);
        if (s < best) continue;
        if (k.spot.sideOffset > 0) {
          int32_t side = 0;
          for (int j = 0; j < k.spot.sideCount; ++j)
            side += img[static_cast<size_t>(y + j) * k.width + x - k.spot.sideOffset] +
                    img[static_cast<size_t>(y + j) * k.width + x + k.spot.sideOffset];
          if (2 * side <= nearPlain) continue;
        }
        best = s;
        *bx = x;
        *by = y;
      }
  }
};

TEST_P(StageTest, DetectorAgreesWithDirectEvaluation) {
  kind().ops.SetEnrollQuality(50, 0, 0, 0, 0);
  const KindParams& k = kind().params;
  struct Rect {
    int l, r, t, b;
  } rects[] = {{0, 4000, 0, 4000}, {251, 703, 299, 650}, {k.zoneX0 + 1, k.zoneX0 + 30, 300, 500}};
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    SyntheticEye e = GoodEye();
    e.cx += 37.0 * seed;
    e.seed = seed;
    e.noise = 60;
    const auto original = Draw(e);
    for (const Rect& r : rects) {
      auto img = original;
      Stage st = MakeStage(img);
      st.left = r.l, st.right = r.r, st.top = r.t, st.bottom = r.b;
      DarkSpotStage(st);
      int bx, by;
      DirectWinner(original, std::clamp(r.l, k.zoneX0, k.zoneX1),
                   std::clamp(r.r, k.zoneX0, k.zoneX1), std::clamp(r.t, k.zoneY0, k.zoneY1),
                   std::clamp(r.b, k.zoneY0, k.zoneY1), &bx, &by);
      ASSERT_GE(bx, 0);
      EXPECT_EQ(kind().state.xs, bx) << seed << " " << r.l;
      EXPECT_EQ(kind().state.ys, by) << seed << " " << r.l;
    }
  }
}

TEST_P(StageTest, EqualDetectorScoresGoToTheLaterCandidate) {
  kind().ops.SetEnrollQuality(50, 0, 0, 0, 0);
  const KindParams& k = kind().params;
  auto img = Flat(k.width, k.height, 150);
  // Two identical dark discs on the candidate lattice, same row; the right one is later.
  const int y = k.zoneY0 + 200, xa = k.zoneX0 + 160, xb = k.zoneX0 + 400;
  for (int cx : {xa, xb})
    for (int dy = -30; dy <= 30; ++dy)
      for (int dx = -30; dx <= 30; ++dx)
        if (dx * dx + dy * dy <= 900) img[static_cast<size_t>(y + dy) * k.width + cx + dx] = 20;
  Stage st = MakeStage(img);
  DarkSpotStage(st);
  // The winner lies in the right disc and scores the same as its twin in the left one.
  const int xs = kind().state.xs, ys = kind().state.ys;
  EXPECT_LE(std::abs(xs - xb), 30);
  EXPECT_LE(std::abs(ys - y), 30);
  int32_t na, nb;
  EXPECT_EQ(DirectScore(img, k.width, k.spot, xs - (xb - xa), ys, &na),
            DirectScore(img, k.width, k.spot, xs, ys, &nb));
}

// Reflection removal done pixel by pixel with full ring sums.
void DirectReflections(const KindParams& k, const EngineState& s, std::vector<uint8_t>& img) {
  const int w = k.width, h = k.ringHalf;
  for (int y = s.yd + k.reflRowsBelow; y >= s.yd - k.reflRowsAbove; --y) {
    for (int step : {+1, -1}) {
      const int from = step > 0 ? s.xd - k.reflReach : s.xd + k.reflReach;
      const int to = step > 0 ? s.xd - 1 : s.xd + 1;
      int lo = -1, hi = -1, loFill = 0, hiFill = 0;
      for (int x = from;; x += step) {
        auto I = [&](int px, int py) { return int32_t{img[static_cast<size_t>(py) * w + px]}; };
        int32_t ring = 0;
        for (int i = 0; i < k.ringCount; ++i) {
          const int o = -h + k.ringSpacing * i;
          ring += I(x + o, y - h) + I(x + o, y + h) + I(x - h, y + o) + I(x + h, y + o);
        }
        const int32_t ex = 64 * I(x, y) - ring;
        if (k.reflStrict ? ex > s.glintThr : ex >= s.glintThr) {
          int32_t side = 0;
          for (int d = 3; d <= 8; ++d) side += I(x - step * d, y);
          const int fill = (side + 2 * s.darkLevel) >> 3;
          for (int d = -k.fillHalf; d <= k.fillHalf; ++d)
            img[static_cast<size_t>(y) * w + x + d] = fill;
          if (lo < 0 || x < lo) lo = x, loFill = fill;
          if (hi < 0 || x > hi) hi = x, hiFill = fill;
        }
        if (x == to) break;
      }
      if (lo >= 0) {
        for (int d = -k.fillExtend; d <= 0; ++d) img[static_cast<size_t>(y) * w + lo + d] = loFill;
        for (int d = 0; d <= k.fillExtend; ++d) img[static_cast<size_t>(y) * w + hi + d] = hiFill;
      }
    }
  }
}

TEST_P(StageTest, ReflectionRemovalAgreesWithDirectEvaluation) {
  SyntheticEye e = GoodEye();
  e.glintR = 5;
  e.noise = 40;  // noisy enough that isolated bright pixels are found as well
  auto img = Draw(e);
  // A second, larger glint on the iris.
  for (int dy = -6; dy <= 6; ++dy)
    for (int dx = -6; dx <= 6; ++dx)
      img[static_cast<size_t>(e.cy + 50 + dy) * kind().width() + e.cx - 40 + dx] = 250;
  auto expected = img;
  EngineState& s = kind().state;
  s.xd = static_cast<int>(e.cx) + 3;
  s.yd = static_cast<int>(e.cy) - 2;
  s.darkLevel = 30;
  s.glintThr = (110 / 16 + 74) * 64;
  Stage st = MakeStage(img);
  RemoveReflections(st);
  DirectReflections(kind().params, s, expected);
  EXPECT_NE(img, Draw(e));  // something was painted
  EXPECT_TRUE(img == expected);
}

// Occlusion on a crafted normalised iris (Big geometry: cells of 4 columns, 16 rows).
TEST(Occlusion, GapFillingAndErosion) {
  const KindUnderTest k = Big();
  ResetState(k.state);
  k.ops.InitEngine();
  EngineState& s = k.state;
  s.enroll.visualMin = 0;
  s.pupilLevel2 = 20, s.iq25 = 100, s.iq75 = 150, s.scleraLevel2 = 220, s.irisMedian = 128;
  struct Case {
    int count9, count11, count12;   // band-0 counts of V columns 9, 11, 12 (V10 is occluded)
    int firstInvalid, lastInvalid;  // blocks
  } cases[] = {
      {64, 64, 64, 7, 11},  // erosion alone widens the gap by two cells each side
      {64, 55, 64, 7, 12},  // cleared by the first pass (below 56)
      {64, 58, 64, 7, 12},  // survives the first pass, cleared by the second (below 60)
      {64, 60, 64, 7, 11},  // survives both passes
      {64, 55, 55, 7, 13},  // a cleared cell clears its right neighbour in the same pass
      {55, 64, 64, 6, 11},  // the left neighbour of a gap is cleared too
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> img(1);
    Stage st = MakeStage(k, s, img);
    std::memset(s.normalized, 128, sizeof s.normalized);
    // Band 0 is rows 8-23; occlude only rows 8-20 (band 1 starts at row 21) except for V10.
    auto occlude = [&](int column, int count) {
      int remove = 64 - count;
      for (int r = 8; r < 24 && remove > 0; ++r)
        for (int x = 58 + 4 * column; x < 62 + 4 * column && remove > 0; ++x, --remove)
          s.normalized[r * 640 + x] = 255;
    };
    occlude(10, 0);
    occlude(9, c.count9);
    occlude(11, c.count11);
    occlude(12, c.count12);
    ASSERT_EQ(OcclusionStage(st), kOk);
    EXPECT_EQ(s.counts[11][0], c.count11);
    for (int a = 0; a < 128; ++a) {
      const bool invalid = a >= c.firstInvalid && a <= c.lastInvalid;
      EXPECT_EQ(s.validCells[a][0], invalid ? 0 : 1) << "block " << a << " case " << c.count11;
    }
    EXPECT_EQ(s.visible, 100 * (1024 - (c.lastInvalid - c.firstInvalid + 1)) / 1024);
  }
}

TEST_P(StageTest, NormalisationRunsCounterClockwiseFromStraightDownAndWraps) {
  const KindParams& k = kind().params;
  auto img = Flat(k.width, k.height, 100);
  EngineState& s = kind().state;
  s.px = s.irisX = k.width / 2;
  s.py = s.irisY = k.height / 2;
  s.rp = 30;
  s.irisR = 100;
  // White strip straight below the centre, white spot to the right of it.
  for (int y = s.py + 40; y < s.py + 120; ++y)
    for (int x = s.px - 2; x <= s.px + 2; ++x) img[static_cast<size_t>(y) * k.width + x] = 255;
  for (int y = s.py - 3; y <= s.py + 3; ++y)
    for (int x = s.px + 40; x < s.px + 120; ++x) img[static_cast<size_t>(y) * k.width + x] = 255;
  Stage st = MakeStage(img);
  ASSERT_EQ(BoundaryStage(st), kOk);
  ASSERT_EQ(NormaliseStage(st), kOk);
  const int cols = k.normCols, wrap = k.normWrap, samples = 512 / k.normAngleStep;
  const int mid = k.normRows / 2;
  auto N = [&](int r, int c) { return s.normalized[r * cols + c]; };
  EXPECT_EQ(N(mid, wrap), 255);                    // k = 0: straight down
  EXPECT_EQ(N(mid, wrap + samples - 1), 255);      // k = 511: just beside it, other end
  EXPECT_EQ(N(mid, wrap + samples / 4), 255);      // k = 128: right
  EXPECT_EQ(N(mid, wrap + 3 * samples / 4), 100);  // k = 384: left
  EXPECT_EQ(N(mid, wrap + samples / 2), 100);      // k = 256: up
  for (int r = 0; r < k.normRows; ++r)
    for (int c = 0; c < wrap; ++c) {
      ASSERT_EQ(N(r, c), N(r, c + samples));
      ASSERT_EQ(N(r, wrap + samples + c), N(r, wrap + c));
    }
}

// A textured normalised iris, periodic in the angle; `shift` rotates it by columns.
void FillTexture(const KindParams& k, EngineState& s, int shift, int rows) {
  const int samples = 512 / k.normAngleStep;
  for (int r = 0; r < k.normRows; ++r)
    for (int c = 0; c < k.normCols; ++c) {
      const int a = ((c - k.normWrap + shift) % samples + samples) % samples;
      const uint32_t h = static_cast<uint32_t>(a * 2654435761u ^ (r / 3) * 40503u);
      s.normalized[r * k.normCols + c] =
          r < rows ? static_cast<uint8_t>(60 + (h >> 13) % 140) : 128;
    }
}

TEST_P(StageTest, RotatingTheIrisByBlocksShiftsEveryPlaneByBytes) {
  const KindParams& k = kind().params;
  EngineState& s = kind().state;
  s.enroll.textureMin = 0;
  std::memset(s.validCells, 1, sizeof s.validCells);
  std::vector<uint8_t> img(1);
  Stage st = MakeStage(img);
  uint8_t t0[512], t3[512];
  FillTexture(k, s, 0, k.normRows);
  ASSERT_EQ(EncodeStage(st, t0), kOk);
  FillTexture(k, s, 3 * k.filterColStep, k.normRows);  // three blocks
  ASSERT_EQ(EncodeStage(st, t3), kOk);
  for (int plane = 0; plane < 4; ++plane)
    for (int a = 0; a < 128; ++a)
      ASSERT_EQ(t3[plane * 128 + a], t0[plane * 128 + (a + 3) % 128]) << plane << " " << a;
}

TEST_P(StageTest, BandZeroIsBitZero) {
  const KindParams& k = kind().params;
  EngineState& s = kind().state;
  s.enroll.textureMin = 0;
  std::memset(s.validCells, 1, sizeof s.validCells);
  std::vector<uint8_t> img(1);
  Stage st = MakeStage(img);
  FillTexture(k, s, 0, k.filterRowStep);  // texture only where band 0's kernel alone reaches
  uint8_t t[512];
  ASSERT_EQ(EncodeStage(st, t), kOk);
  int bit0 = 0;
  for (int i = 0; i < 512; ++i) {
    EXPECT_EQ(t[i] & 0xFE, 0) << i;
    bit0 += t[i] & 1;
  }
  EXPECT_GT(bit0, 100);
}

TEST(RunningSums, StridedPrefixEqualsItsDefinitionForEveryStride) {
  // The register versions (strides 2, 3, 16, 20) and the plain loop, widths that end in the
  // middle of a stride, the darkest and brightest rows.
  std::vector<uint8_t> row(1283);
  uint32_t x = 99;
  for (uint8_t& v : row) v = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
  row[0] = 255;
  row[1282] = 255;
  std::vector<int32_t> fast(row.size()), plain(row.size());
  for (int stride = 1; stride <= 24; ++stride)
    for (int width : {1, stride - 1, stride, stride + 1, 1280, 1283}) {
      if (width < 1) continue;
      std::fill(fast.begin(), fast.end(), -1);
      std::fill(plain.begin(), plain.end(), -1);
      StridedPrefix(row.data(), width, stride, fast.data());
      StridedPrefixPlain(row.data(), width, stride, plain.data());
      ASSERT_EQ(fast, plain) << "stride " << stride << " width " << width;
    }
}

TEST(RadialProfile, MirrorsAtBothEnds) {
  const int32_t sums[8] = {0, 0, 0, 10, 10, 10, 10, 10};  // D = 0 0 10 0 0 0 0 (lag 1)
  int32_t q[8];
  ASSERT_EQ(SmoothProfile(sums, 8, 1, SmoothKernels[0], q), 7);
  EXPECT_EQ(q[0], 2 * 73 * 10);         // indices -2 and 2 both read D[2]
  EXPECT_EQ(q[2], 100 * 10 + 29 * 10);  // index -2 mirrors to 2
  EXPECT_EQ(q[6], 2 * 29 * 10);         // indices 2 and 10 (mirrored to 2)
}

// Centres summed side by side give RadialSums' values: every centre spacing, rows and
// centres whose rings leave the image (the plain fallback), more centres than lanes,
// saturated bytes (the largest 16-bit lane sums) and the largest ring set.
TEST(RadialProfile, CentreRowsAgreeWithSingleCentres) {
  static EngineState s;  // large: the scratch of the searches
  const int S = 200;
  std::vector<uint8_t> img(static_cast<size_t>(S) * S);
  uint32_t x = 7;
  for (uint8_t& v : img) v = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
  for (int i = 0; i < S * 40; ++i) img[static_cast<size_t>(i)] = 255;
  const Arc arcs[2] = {{64, 96}, {288, 96}};
  std::vector<int32_t> row(static_cast<size_t>(kRowLanes) * kMaxProfileRadii * 2);
  int32_t single[kMaxProfileRadii];
  int fallbacks = 0;
  for (int step = 1; step <= kMaxCentreStep + 1; ++step) {
    for (int r0 : {3, 20, 60}) {
      const RingSamples rs = BuildRings(s, S, r0, 12, arcs, 2, 1);
      for (int cx0 : {r0 + 12, 70, 150}) {
        for (int count : {1, 7, 16, 23}) {
          const int cy0 = 30, cy1 = 170;
          const CentreRow cr =
              PrepareCentreRow(s, img.data(), S, S, rs, cx0, step, count, cy0, cy1);
          fallbacks += cr.fast ? 0 : 1;
          for (int cy : {0, r0 + 12, 100, 199}) {
            for (int first = 0; first < count; first += kRowLanes) {
              const int n = std::min(kRowLanes, count - first);
              CentreRowSums(cr, rs, cy, first, n, row.data());
              for (int k = 0; k < n; ++k) {
                RadialSums(img.data(), S, S, cx0 + (first + k) * step, cy, rs, single);
                ASSERT_TRUE(std::equal(single, single + rs.radii, row.data() + k * rs.radii))
                    << "step " << step << " r0 " << r0 << " cx0 " << cx0 << " centre " << first + k
                    << " row " << cy;
              }
            }
          }
        }
      }
    }
  }
  EXPECT_GT(fallbacks, 0) << "some centre rows leave the image or have an unsupported spacing";
}

INSTANTIATE_TEST_SUITE_P(Kinds, StageTest, ::testing::Bool(), KindName);

}  // namespace
}  // namespace ocuvant::engine::smallbig::testing
