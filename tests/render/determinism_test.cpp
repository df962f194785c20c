// Same inputs give the same bytes; seeds, eyes and captures change them.
#include <gtest/gtest.h>

#include "tests/render/render_test_util.h"

namespace ocuvant::sim::test {
namespace {

Image Render(const Subject& s, int eye, const CaptureParams& p, int w = 960, int h = 960) {
  Image img(w, h);
  RenderEye(s, eye, p, img.pixels.data(), w, h);
  return img;
}

TEST(RenderDeterminism, SameInputsSameBytesAndGoldenHashes) {
  // Locks the exact output: any change of the renderer's look shows here
  // (and then changes every figure measured on rendered eyes).
  const Subject a(1), b(1);
  const CaptureParams p = GoodCapture(960, 960, 1);
  Image first = Render(a, 0, p), second = Render(b, 0, p);
  EXPECT_EQ(first.pixels, second.pixels);
  EXPECT_EQ(Fnv1a(first.pixels), 0xEFF0D0051DEDA8BCull);

  CaptureParams q = GoodCapture(1280, 1080, 5);
  q.illuminatorOn = true;
  Image big = Render(a, 1, q, 1280, 1080);
  EXPECT_EQ(Fnv1a(big.pixels), 0xE265D2532B2D44A4ull);
}

TEST(RenderDeterminism, SeedsEyesAndCapturesDiffer) {
  const Subject s1(1), s2(2);
  CaptureParams p;
  const Image base = Render(s1, 0, p);
  EXPECT_NE(base.pixels, Render(s2, 0, p).pixels) << "another subject";
  EXPECT_NE(base.pixels, Render(s1, 1, p).pixels) << "the other eye";
  CaptureParams noise = p;
  noise.captureSeed = 2;
  const Image renoised = Render(s1, 0, noise);
  EXPECT_NE(base.pixels, renoised.pixels) << "another capture";
  // A new capture changes only the sensor noise when nothing else changes.
  long far = 0;
  for (size_t i = 0; i < base.pixels.size(); ++i)
    far += std::abs(base.pixels[i] - renoised.pixels[i]) > 21;
  EXPECT_EQ(far, 0);
}

TEST(RenderDeterminism, SubjectsHaveDistinctIrisTextures) {
  // Both irises of one person and irises of different people differ clearly;
  // the texture tables are what the captures are rendered from.
  const Subject a(3), b(4);
  auto distance = [](const int16_t* x, const int16_t* y) {
    double d = 0;
    for (int i = 0; i < Subject::kIrisAngles * Subject::kIrisBands; ++i)
      d += std::abs(x[i] - y[i]) / 16.0;
    return d / (Subject::kIrisAngles * Subject::kIrisBands);
  };
  EXPECT_GT(distance(a.irisTable(0), a.irisTable(1)), 5.0);
  EXPECT_GT(distance(a.irisTable(0), b.irisTable(0)), 5.0);
  EXPECT_EQ(distance(a.irisTable(0), Subject(3).irisTable(0)), 0.0);
}

TEST(GoodCaptureTest, DeterministicAndWithinEachSizesRanges) {
  for (const EyeSize& size : kEyeSizes) {
    const bool small = size.width == 960;
    for (uint64_t seed = 1; seed <= 200; ++seed) {
      const CaptureParams p = GoodCapture(size.width, size.height, seed);
      const CaptureParams again = GoodCapture(size.width, size.height, seed);
      ASSERT_EQ(p.irisRadius, again.irisRadius);
      ASSERT_EQ(p.centerX, again.centerX);
      const double rp = p.irisRadius * p.pupilRatio;
      EXPECT_GE(p.irisRadius, small ? 70 : 100) << size.name;
      EXPECT_LE(p.irisRadius, small ? 95 : 135) << size.name;
      EXPECT_GE(p.pupilRatio, 0.2);
      EXPECT_LE(p.pupilRatio, 0.6);
      EXPECT_GE(rp, small ? 20 : 28) << size.name;
      EXPECT_LE(rp, small ? 44.0 : 72.0) << size.name;
      // Iris well inside the image, pupil in the central zone a camera aims at.
      EXPECT_GE(p.centerX - p.irisRadius, 100);
      EXPECT_LE(p.centerX + p.irisRadius, size.width - 100);
      EXPECT_GE(p.centerY - p.irisRadius, 100);
      EXPECT_LE(p.centerY + p.irisRadius, size.height - 100);
      EXPECT_LE(std::hypot(p.gazeX, p.gazeY), 0.06);
      EXPECT_EQ(p.variant, EyeVariant::Normal);
    }
  }
}

}  // namespace
}  // namespace ocuvant::sim::test
