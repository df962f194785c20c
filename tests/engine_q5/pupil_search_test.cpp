// Detection, dark threshold, reflection filling and the size estimate.
#include <gtest/gtest.h>

#include <random>

#include <algorithm>
#include <vector>

#include "engine/q5/q5_stages.h"
#include "synthetic_eye.h"

namespace ocuvant::engine::q5 {
namespace {

using test::RenderSynthetic;
using test::SyntheticEye;

// F of one detector position, summed sample by sample.
int32_t ReferenceResponse(const Plane& eye, int32_t x, int32_t y) {
  int32_t outer = 0, inner = 0;
  for (int32_t k = 0; k < 24; ++k) {
    outer += eye.At(x - 192 + 16 * k, y - 192) + 3 * eye.At(x - 192 + 16 * k, y + 192) +
             eye.At(x - 192, y - 192 + 16 * k) + eye.At(x + 192, y - 192 + 16 * k);
    inner += eye.At(x - 24 + 2 * k, y - 24) + 3 * eye.At(x - 24 + 2 * k, y + 24) +
             eye.At(x - 24, y - 24 + 2 * k) + eye.At(x + 24, y - 24 + 2 * k);
  }
  return 96 * eye.At(x, y) + outer - 2 * inner;
}

TEST(Q5Detection, RunningSumsGiveTheSampledResponse) {
  SyntheticEye e;
  e.pupilX = e.irisX = 452;
  e.pupilY = e.irisY = 611;
  auto img = RenderSynthetic(e);
  const Plane eye = EyePlane(img.data());
  Point best;
  int32_t response = 0;
  ASSERT_TRUE(Detect(eye, &best, &response));
  int32_t top = 0;
  Point ref{};
  for (int32_t y = 212; y <= 864; y += 4)
    for (int32_t x = 212; x <= 1064; x += 4)
      if (const int32_t f = ReferenceResponse(eye, x, y); f >= top) top = f, ref = {x, y};
  EXPECT_EQ(response, top);
  EXPECT_EQ(best.x, ref.x);
  EXPECT_EQ(best.y, ref.y);
  EXPECT_NEAR(best.x, 452, 8);
  EXPECT_NEAR(best.y, 611, 8);
}

TEST(Q5Detection, EqualResponsesGoToTheLastPositionAndFlatAreasToNone) {
  std::vector<uint8_t> img(kEyeWidth * kEyeHeight, 120);
  const Plane eye = EyePlane(img.data());
  Point p;
  int32_t r;
  EXPECT_FALSE(Detect(eye, &p, &r));  // F = -48 * 120 everywhere
  // Two identical glints in dark discs, at the same x: the lower one wins.
  for (const int32_t cy : {400, 700})
    for (int32_t y = cy - 40; y <= cy + 40; ++y)
      for (int32_t x = 600; x <= 680; ++x) {
        const int32_t d2 = (x - 640) * (x - 640) + (y - cy) * (y - cy);
        if (d2 <= 40 * 40) eye.At(x, y) = d2 <= 9 ? 255 : 20;
      }
  ASSERT_TRUE(Detect(eye, &p, &r));
  EXPECT_EQ(p.x, 640);
  EXPECT_EQ(p.y, 700);
  EXPECT_EQ(r, ReferenceResponse(eye, 640, 400));
}

TEST(Q5DarkThreshold, WindowAveraging170GivesThreshold195AndRejects) {
  SyntheticEye e;
  e.pupilLevel = 170;
  e.irisLevel = 200;
  e.scleraLevel = 235;
  e.skinLevel = 235;
  auto img = RenderSynthetic(e);
  // A flat pupil of exactly 170 (the synthetic noise is switched off inside it).
  for (int32_t y = 540 - 40; y <= 540 + 40; ++y)
    for (int32_t x = 640 - 40; x <= 640 + 40; ++x) {
      const int32_t d2 = (x - 640) * (x - 640) + (y - 540) * (y - 540);
      if (d2 > 25 && d2 <= 40 * 40) img[y * kEyeWidth + x] = 170;
    }
  const DarkWindow w = DarkestWindow(EyePlane(img.data()), {640, 540});
  EXPECT_EQ(w.mean, 170);
  EXPECT_EQ(w.threshold, 195);
  State s;
  s.limits = kEnrollLimits;
  std::vector<uint8_t> crop(kCropBytes);
  EXPECT_EQ(PupilSearch(s, EyePlane(img.data()), crop.data()), kDarkThreshold);
}

TEST(Q5SizeEstimate, SmallPupilsAreLiftedTo16OrRejected) {
  std::vector<uint8_t> img(kEyeWidth * kEyeHeight, 150);
  const Plane eye = EyePlane(img.data());
  auto darkPixels = [&](int32_t n) {
    std::fill(img.begin(), img.end(), 150);
    for (int32_t i = 0; i < n; ++i) eye.At(620 + i % 40, 530 + i / 40) = 10;
  };
  int32_t r1 = 0;
  darkPixels(443);  // A / 4 = 110: R1 = 10
  EXPECT_EQ(SizeEstimate(eye, {640, 540}, 30, &r1), kPupilSize);
  darkPixels(444);  // A / 4 = 111: R1 = 11, lifted to 16
  ASSERT_EQ(SizeEstimate(eye, {640, 540}, 30, &r1), 1);
  EXPECT_EQ(r1, 16);
  darkPixels(4 * 241);  // sqrt(241) + 0.5 = 16.02
  ASSERT_EQ(SizeEstimate(eye, {640, 540}, 30, &r1), 1);
  EXPECT_EQ(r1, 16);
  int32_t lo, hi;
  PupilRadiusRange(16, &lo, &hi);  // level-1 radii 20 to 71
  EXPECT_EQ(lo, 20);
  EXPECT_EQ(hi, 72);
  PupilRadiusRange(17, &lo, &hi);
  EXPECT_EQ(lo, 24);
  PupilRadiusRange(51, &lo, &hi);
  EXPECT_EQ(hi, 80);
  // A dark area filling the whole 181 x 181 square gives R1 = 91: too large.
  std::fill(img.begin(), img.end(), 10);
  EXPECT_EQ(SizeEstimate(eye, {640, 540}, 30, &r1), kPupilSize);
}

TEST(Q5FillReflections, WideReflectionIsFilledFromItsEdgesInward) {
  std::vector<uint8_t> img(kEyeWidth * kEyeHeight, 150);
  const Plane eye = EyePlane(img.data());
  for (int32_t y = 540 - 70; y <= 540 + 70; ++y)
    for (int32_t x = 640 - 70; x <= 640 + 70; ++x)
      if ((x - 640) * (x - 640) + (y - 540) * (y - 540) <= 70 * 70) eye.At(x, y) = 20;
  // A 12 x 4 reflection left of the centre and a 6 x 6 one right of it.
  for (int32_t y = 520; y < 524; ++y)
    for (int32_t x = 600; x < 612; ++x) eye.At(x, y) = 250;
  for (int32_t y = 560; y < 566; ++y)
    for (int32_t x = 660; x < 666; ++x) eye.At(x, y) = 240;
  FillReflections(eye, 640, 540, 20, 26, 150, 150);
  for (int32_t y = 510; y < 580; ++y)
    for (int32_t x = 590; x < 680; ++x) ASSERT_LE(eye.At(x, y), 26) << x << "," << y;
}

TEST(Q5FillReflections, FastVersionWritesWhatThePlainOneWrites) {
  // Dark discs strewn with reflections of every size and brightness, on textured ground:
  // many hits, fills that change later rings, and pass-2 cases on both sides of the tests.
  std::mt19937 rng(77);
  int changed = 0;
  for (int round = 0; round < 12; ++round) {
    std::vector<uint8_t> img(kEyeWidth * kEyeHeight);
    for (uint8_t& v : img) v = static_cast<uint8_t>(100 + rng() % 80);
    const int32_t cx = 400 + static_cast<int32_t>(rng() % 480);
    const int32_t cy = 300 + static_cast<int32_t>(rng() % 480);
    const int32_t radius = 40 + static_cast<int32_t>(rng() % 100);
    for (int32_t y = cy - radius; y <= cy + radius; ++y)
      for (int32_t x = cx - radius; x <= cx + radius; ++x)
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius)
          img[static_cast<size_t>(y) * kEyeWidth + x] = static_cast<uint8_t>(10 + rng() % 25);
    for (int spot = 0; spot < 40; ++spot) {
      const int32_t sx = cx - 170 + static_cast<int32_t>(rng() % 340);
      const int32_t sy = cy - 170 + static_cast<int32_t>(rng() % 340);
      const int32_t size = 1 + static_cast<int32_t>(rng() % 12);
      const auto bright = static_cast<uint8_t>(120 + rng() % 136);
      for (int32_t y = sy; y < sy + size; ++y)
        for (int32_t x = sx; x < sx + size; ++x)
          img[static_cast<size_t>(y) * kEyeWidth + x] = bright;
    }
    const std::vector<uint8_t> before = img;
    std::vector<uint8_t> plain = img;
    const int32_t m = static_cast<int32_t>(rng() % 40), t = 20 + static_cast<int32_t>(rng() % 20);
    const int32_t l = 100 + static_cast<int32_t>(rng() % 80), q = static_cast<int32_t>(rng() % 200);
    FillReflections(EyePlane(img.data()), cx, cy, m, t, l, q);
    FillReflectionsPlain(EyePlane(plain.data()), cx, cy, m, t, l, q);
    ASSERT_EQ(img, plain) << "round " << round;
    changed += img != before;
  }
  EXPECT_EQ(changed, 12);
}

}  // namespace
}  // namespace ocuvant::engine::q5
