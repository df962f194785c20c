// The variants a camera must reject look the part; no writes outside the image.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/render/render_test_util.h"

namespace ocuvant::sim::test {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(RenderVariants, ClosedAndMissingEyesShowNoPupil) {
  for (const EyeSize& size : kEyeSizes) {
    Image img(size.width, size.height);
    for (uint64_t subject = 1; subject <= 4; ++subject) {
      const Subject s(subject);
      for (EyeVariant v : {EyeVariant::Closed, EyeVariant::NoEye}) {
        CaptureParams p = GoodCapture(size.width, size.height, subject);
        p.variant = v;
        const EyeTruth t = RenderEye(s, 0, p, img.pixels.data(), size.width, size.height);
        SCOPED_TRACE(testing::Message()
                     << size.name << " subject " << subject << " variant " << static_cast<int>(v));
        EXPECT_FALSE(t.eyePresent);
        EXPECT_GT(RingMean(img, t.pupilX, t.pupilY, 0, t.pupilRadius, kPi), 110);
        // No dark disc anywhere: at most thin lash strokes go dark.
        long dark =
            std::count_if(img.pixels.begin(), img.pixels.end(), [](uint8_t g) { return g < 60; });
        EXPECT_LT(dark, static_cast<long>(img.pixels.size() / 400));
        if (v == EyeVariant::Closed) {
          EXPECT_EQ(t.upperLidY, t.lowerLidY);
        }
      }
    }
  }
}

TEST(RenderVariants, DefocusedEyesLoseFineDetail) {
  for (const EyeSize& size : kEyeSizes) {
    Image img(size.width, size.height);
    for (uint64_t subject = 1; subject <= 4; ++subject) {
      const Subject s(subject);
      CaptureParams p = GoodCapture(size.width, size.height, subject + 40);
      RenderEye(s, 1, p, img.pixels.data(), size.width, size.height);
      const int sharp = Sharpness(img);
      p.variant = EyeVariant::Defocused;
      const EyeTruth t = RenderEye(s, 1, p, img.pixels.data(), size.width, size.height);
      const int blurred = Sharpness(img);
      SCOPED_TRACE(testing::Message() << size.name << " subject " << subject);
      EXPECT_TRUE(t.eyePresent);
      EXPECT_GE(sharp, 80);
      EXPECT_LE(blurred, 40);
      // Still an eye: the pupil stays dark.
      EXPECT_LT(
          RingMean(img, t.pupilX, t.pupilY + 0.4 * t.pupilRadius, 0, 0.3 * t.pupilRadius, kPi), 60);
    }
  }
}

TEST(RenderBounds, EyesAtAndBeyondTheBordersStayInsideTheBuffer) {
  // Guard bytes around the image catch stray writes (the address sanitizer
  // build catches them too).
  const Subject s(5);
  constexpr int kGuard = 4096;
  struct Case {
    int w, h;
    double x, y, r;
    EyeVariant v;
  } cases[] = {
      {960, 960, 0, 0, 110, EyeVariant::Normal},
      {960, 960, 959, 959, 110, EyeVariant::Normal},
      {1280, 960, -300, 480, 150, EyeVariant::Normal},
      {1280, 1080, 640, 1500, 150, EyeVariant::Closed},
      {1280, 1080, 640, 540, 900, EyeVariant::Defocused},
      {3, 2, 1, 1, 100, EyeVariant::Normal},
      {1, 1, 0, 0, 5, EyeVariant::Defocused},
      {64, 4096, 32, 2000, 40, EyeVariant::Normal},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> buf(static_cast<size_t>(c.w) * c.h + 2 * kGuard, 0xA5);
    CaptureParams p;
    p.centerX = c.x, p.centerY = c.y, p.irisRadius = c.r, p.variant = c.v;
    p.gazeX = 0.5;  // more than the iris allows: held inside it
    const EyeTruth t = RenderEye(s, 0, p, buf.data() + kGuard, c.w, c.h);
    EXPECT_LT(std::hypot(t.pupilX - t.irisX, t.pupilY - t.irisY) + t.pupilRadius, t.irisRadius);
    for (int i = 0; i < kGuard; ++i) {
      ASSERT_EQ(buf[i], 0xA5) << c.w << "x" << c.h;
      ASSERT_EQ(buf[buf.size() - 1 - i], 0xA5) << c.w << "x" << c.h;
    }
  }
}

TEST(RenderBounds, RefusesImagesItCannotHold) {
  const Subject s(5);
  uint8_t pixel = 7;
  for (auto [w, h] : {std::pair{0, 10}, std::pair{10, -1}, std::pair{kMaxImageSide + 1, 1}}) {
    const EyeTruth t = RenderEye(s, 0, CaptureParams{}, &pixel, w, h);
    EXPECT_FALSE(t.eyePresent);
    EXPECT_EQ(t.irisRadius, 0);
  }
  EXPECT_EQ(pixel, 7);
  EXPECT_FALSE(RenderEye(s, 0, CaptureParams{}, nullptr, 10, 10).eyePresent);
}

}  // namespace
}  // namespace ocuvant::sim::test
