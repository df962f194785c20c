// Binocular frames: both formats carry the same picture, and the eye images
// cut from the mirrored frame hold the eyes where their truth says.
#include <gtest/gtest.h>

#include "tests/render/render_test_util.h"

namespace ocuvant::sim::test {
namespace {

constexpr int kW = 1920, kH = 1080;
constexpr double kPi = 3.141592653589793;

struct Frames {
  std::vector<uint8_t> bgr = std::vector<uint8_t>(kW * kH * 3);
  std::vector<uint8_t> grey = std::vector<uint8_t>(kW * kH);
  BinocularTruth truth;
};

Frames RenderBoth(uint64_t subject, bool illuminator) {
  const Subject s(subject);
  CaptureParams left, right;
  left.irisRadius = right.irisRadius = 100;
  left.captureSeed = 3;
  right.captureSeed = 4;
  left.rotationDegrees = 4;
  left.illuminatorOn = right.illuminatorOn = illuminator;
  Frames f;
  f.truth = RenderBinocularFrame(s, left, right, f.bgr.data(), kW, kH, FrameFormat::Bgr24BottomUp);
  BinocularTruth again =
      RenderBinocularFrame(s, left, right, f.grey.data(), kW, kH, FrameFormat::Grey);
  EXPECT_EQ(again.eye[0].pupilX, f.truth.eye[0].pupilX);
  return f;
}

TEST(BinocularFrame, TwentyFourBitBottomUpAndGreyAgree) {
  const Frames f = RenderBoth(8, false);
  for (int y = 0; y < kH; y += 7) {
    for (int x = 0; x < kW; x += 5) {
      const uint8_t* px = &f.bgr[(static_cast<size_t>(kH - 1 - y) * kW + x) * 3];
      ASSERT_EQ(px[0], f.grey[static_cast<size_t>(y) * kW + x]) << x << "," << y;
      ASSERT_EQ(px[1], px[0]);
      ASSERT_EQ(px[2], px[0]);
    }
  }
}

TEST(BinocularFrame, EachEyeLandsInsideEveryEyeImageCutForIt) {
  const Frames f = RenderBoth(9, true);
  // The mirrored, top-down frame the eye images are cut from.
  Image mirrored(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      mirrored.pixels[static_cast<size_t>(y) * kW + x] =
          f.grey[static_cast<size_t>(y) * kW + kW - 1 - x];
  // Cut rectangles (first column, first row, width, height) of the left and
  // the right eye image for each eye-image size, and the central zone of each
  // eye image a pupil must lie in.
  struct Cut {
    int leftX, rightX, top, w, h, zone0, zoneX1, zoneY1;
  } cuts[] = {{960, 0, 60, 960, 960, 160, 800, 800},
              {640, 0, 60, 1280, 960, 192, 1088, 768},
              {640, 0, 0, 1280, 1080, 192, 1088, 888}};
  for (int eye = 0; eye < 2; ++eye) {
    const EyeTruth& t = f.truth.eye[eye];
    ASSERT_TRUE(t.eyePresent);
    EXPECT_EQ(t.pupilX > kW / 2, eye == 0) << "the left eye shows in the right half";
    for (const Cut& c : cuts) {
      const double x = t.pupilX - (eye == 0 ? c.leftX : c.rightX), y = t.pupilY - c.top;
      EXPECT_GE(x, c.zone0);
      EXPECT_LE(x, c.zoneX1);
      EXPECT_GE(y, c.zone0);
      EXPECT_LE(y, c.zoneY1);
      const double ix = t.irisX - (eye == 0 ? c.leftX : c.rightX), iy = t.irisY - c.top;
      EXPECT_GE(ix - t.irisRadius, 70);
      EXPECT_LE(ix + t.irisRadius, c.w - 70);
      EXPECT_GE(iy - t.irisRadius, 70);
      EXPECT_LE(iy + t.irisRadius, c.h - 70);
    }
    EXPECT_LT(
        RingMean(mirrored, t.pupilX, t.pupilY + 0.5 * t.pupilRadius, 0, 0.25 * t.pupilRadius, kPi),
        50);
    EXPECT_GT(
        RingMean(mirrored, t.irisX, t.irisY, t.irisRadius + 9, t.irisRadius + 18, 0.6),
        1.25 * RingMean(mirrored, t.irisX, t.irisY, t.irisRadius - 18, t.irisRadius - 10, 0.6));
  }
}

}  // namespace
}  // namespace ocuvant::sim::test
