// Ground truth matches the picture: dark pupil, mid-grey iris, bright sclera
// where the truth says; rotation and pupil size move the texture as an eye does.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/render/render_test_util.h"

namespace ocuvant::sim::test {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(RenderTruth, GreyLevelsSitWhereTheTruthSays) {
  for (const EyeSize& size : kEyeSizes) {
    Image img(size.width, size.height);
    for (uint64_t subject = 1; subject <= 6; ++subject) {
      const Subject s(subject);
      for (int eye = 0; eye < 2; ++eye) {
        CaptureParams p = GoodCapture(size.width, size.height, subject * 10 + eye);
        p.illuminatorOn = subject % 2 == 0;
        const EyeTruth t = RenderEye(s, eye, p, img.pixels.data(), size.width, size.height);
        SCOPED_TRACE(testing::Message() << size.name << " subject " << subject << " eye " << eye);
        ASSERT_TRUE(t.eyePresent);
        EXPECT_NEAR(t.irisRadius, p.irisRadius, 1e-9);
        EXPECT_NEAR(t.pupilRadius, p.irisRadius * p.pupilRatio, 1e-9);
        // Pupil: dark and uniform outside the glints (which sit in its upper part).
        const double pupil = RingMean(img, t.pupilX, t.pupilY, 0, 0.8 * t.pupilRadius, kPi);
        const double lowerPupil =
            RingMean(img, t.pupilX, t.pupilY + 0.5 * t.pupilRadius, 0, 0.25 * t.pupilRadius, kPi);
        EXPECT_LT(lowerPupil, 50);
        EXPECT_LT(pupil, 70);
        // Iris ring beside the pupil and sclera beside the limbus, on the
        // horizontal arcs the lids never cover.
        const double iris =
            RingMean(img, t.irisX, t.irisY, t.irisRadius - 18, t.irisRadius - 10, 0.6);
        const double midIris =
            RingMean(img, t.pupilX, t.pupilY, t.pupilRadius + 5, t.irisRadius - 10, kPi / 4);
        const double sclera =
            RingMean(img, t.irisX, t.irisY, t.irisRadius + 9, t.irisRadius + 18, 0.6);
        EXPECT_GT(midIris, lowerPupil + 40);
        EXPECT_GT(midIris, 70);
        EXPECT_LT(midIris, 150);
        EXPECT_GT(sclera, 150);
        EXPECT_GT(sclera / iris, 1.25);
        // The glints: saturated spots inside the pupil.
        int bright = 0;
        for (int y = static_cast<int>(t.pupilY - t.pupilRadius); y <= t.pupilY + t.pupilRadius; ++y)
          for (int x = static_cast<int>(t.pupilX - t.pupilRadius); x <= t.pupilX + t.pupilRadius;
               ++x)
            bright +=
                img.at(x, y) >= 235 && std::hypot(x - t.pupilX, y - t.pupilY) < t.pupilRadius - 2;
        EXPECT_GE(bright, p.illuminatorOn ? 6 : 3);
        EXPECT_LE(bright, 80);
        // Lids clear of the iris's horizontal diameter, above and below it.
        EXPECT_LT(t.upperLidY, t.irisY - 0.7 * t.irisRadius);
        EXPECT_GT(t.lowerLidY, t.irisY + 0.7 * t.irisRadius);
      }
    }
  }
}

// Grey levels on a circle of radius r around (cx, cy) at n angles (image
// angle, clockwise on screen), bilinearly interpolated.
std::vector<double> Circle(const Image& img, double cx, double cy, double r, int n) {
  std::vector<double> v(n);
  for (int j = 0; j < n; ++j) {
    double a = 2 * kPi * j / n, x = cx + r * std::cos(a), y = cy + r * std::sin(a);
    int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    double fx = x - x0, fy = y - y0;
    v[j] = (1 - fy) * ((1 - fx) * img.at(x0, y0) + fx * img.at(x0 + 1, y0)) +
           fy * ((1 - fx) * img.at(x0, y0 + 1) + fx * img.at(x0 + 1, y0 + 1));
  }
  return v;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b, int shift) {
  const int n = static_cast<int>(a.size());
  double ma = 0, mb = 0;
  for (int i = 0; i < n; ++i) ma += a[i], mb += b[i];
  ma /= n, mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (int i = 0; i < n; ++i) {
    double x = a[i] - ma, y = b[(i + shift + n) % n] - mb;
    sab += x * y, saa += x * x, sbb += y * y;
  }
  return sab / std::sqrt(saa * sbb);
}

int BestShift(const std::vector<double>& a, const std::vector<double>& b) {
  const int n = static_cast<int>(a.size());
  int best = 0;
  for (int s = 1; s < n; ++s) best = Correlation(a, b, s) > Correlation(a, b, best) ? s : best;
  return best > n / 2 ? best - n : best;
}

CaptureParams Clean(double ratio, double rotation) {
  CaptureParams p;
  p.irisRadius = 110;
  p.pupilRatio = ratio;
  p.rotationDegrees = rotation;
  p.blurSigma = 0;
  p.noiseSigma = 0;
  return p;
}

TEST(RenderTexture, RotationByAngularBlocksShiftsTheIrisPattern) {
  const Subject s(21);
  Image base(1280, 960), turned(1280, 960);
  const EyeTruth t = RenderEye(s, 0, Clean(0.4, 0), base.pixels.data(), 1280, 960);
  // Sampled at 512 angles, one block of 2.8125 degrees is four samples.
  const double r = t.pupilRadius + 0.5 * (t.irisRadius - t.pupilRadius);
  const std::vector<double> ref = Circle(base, t.pupilX, t.pupilY, r, 512);
  for (int k : {1, -1, 3, -7, 64}) {
    RenderEye(s, 0, Clean(0.4, k * 2.8125), turned.pixels.data(), 1280, 960);
    const std::vector<double> got = Circle(turned, t.pupilX, t.pupilY, r, 512);
    EXPECT_EQ(BestShift(ref, got), 4 * k) << "k = " << k;
    EXPECT_GT(Correlation(ref, got, 4 * k), 0.97) << "k = " << k;
  }
}

TEST(RenderTexture, PupilSizeStretchesTheIrisLikeARubberSheet) {
  const Subject s(22), other(23);
  Image img(1280, 960);
  auto midRing = [&](const Subject& subj, double ratio) {
    EyeTruth t = RenderEye(subj, 1, Clean(ratio, 0), img.pixels.data(), 1280, 960);
    return Circle(img, t.pupilX, t.pupilY, t.pupilRadius + 0.55 * (t.irisRadius - t.pupilRadius),
                  512);
  };
  const std::vector<double> narrow = midRing(s, 0.3), wide = midRing(s, 0.55);
  EXPECT_GT(Correlation(narrow, wide, 0), 0.9) << "same iris, other pupil size";
  EXPECT_LT(Correlation(narrow, midRing(other, 0.3), 0), 0.5) << "another iris";
}

}  // namespace
}  // namespace ocuvant::sim::test
