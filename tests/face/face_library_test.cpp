// The face library binding (load results, template check) and the position codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "face_test_support.h"
#include "session/face_position.h"
#include "support/travex_face.h"

namespace ocuvant::face_test {
namespace {

using session::PositionOf;
using support::FaceDetail;
using ::testing::ElementsAre;

TEST(TravexFaceLoad, ResultsForMissingOrIncompleteLibraries) {
  Recorder rec;
  support::TravexFace face;
  EXPECT_EQ(face.Load(BrokenDir("missing")), -51);
  EXPECT_EQ(face.Load("/nonexistent/folder/"), -51);
  EXPECT_EQ(face.Load(BrokenDir("no_enroll")), -52);
  EXPECT_FALSE(face.IsLoaded());
  EXPECT_EQ(face.Load(BrokenDir("no_template")), -53);
  EXPECT_FALSE(face.IsLoaded());
  // The initialiser's answer is shown each time a library that has one is loaded.
  EXPECT_THAT(rec.Boxes(), ElementsAre("Init return:-3", "Init return:-3"));
  // No library: no template, no enrollment, nothing called.
  std::vector<unsigned char> grey(640 * 480, 0);
  EXPECT_EQ(face.CheckTemplate(grey.data(), 0), support::FaceNone);
  EXPECT_FALSE(face.Enroll());
}

TEST(TravexFaceLoad, EveryLoadReloadsAndInitialisesAgain) {
  Recorder rec;
  support::TravexFace face;
  EXPECT_EQ(face.Load(ReferenceDir()), 1);
  EXPECT_EQ(face.Load(ReferenceDir()), 1);
  EXPECT_TRUE(face.IsLoaded());
  EXPECT_THAT(rec.Boxes(), ElementsAre("Init return:1", "Init return:1"));
  // A failed load leaves nothing callable behind.
  EXPECT_EQ(face.Load(BrokenDir("missing")), -51);
  EXPECT_FALSE(face.IsLoaded());
}

TEST(TravexFaceCheck, ResultsFromRenderedFaces) {
  Recorder rec;
  support::TravexFace face;
  ASSERT_EQ(face.Load(ReferenceDir()), 1);
  std::vector<uint8_t> bgr;
  std::vector<unsigned char> grey(640 * 480);
  auto check = [&](const simulator::FaceScene& scene, int slot) {
    simulator::RenderFaceScene(scene, 7, grey.data(), 640, 480);
    return face.CheckTemplate(grey.data(), slot);
  };
  EXPECT_EQ(check(simulator::FaceScene{}, 0), support::FaceNone);
  EXPECT_EQ(check(Face(320, 250, 240, 300), 0), support::FaceGood);
  // The detail record follows the drawn face.
  const FaceDetail& d = face.Detail();
  EXPECT_NEAR(d.x1(), 200, 2);
  EXPECT_NEAR(d.x2(), 440, 2);
  EXPECT_NEAR(d.y1(), 100, 2);
  EXPECT_NEAR(d.y2(), 400, 2);
  EXPECT_NEAR(d.bx() - d.ax(), simulator::EyeDistance(Face(320, 250, 240, 300)), 2);
  EXPECT_EQ(std::memcmp(face.Slot(0), face.Template(), support::kFaceTemplateSize), 0);
  // Landmarks 80 pixels apart: too far, whatever the pose.
  simulator::FaceScene small = Face(320, 250, 160, 200);
  small.width = 80 * 1000 / simulator::PersonTraits(1).eyeSpacing + 1;
  EXPECT_EQ(check(small, 1), support::FaceTooFar);
  EXPECT_LT(face.Detail().bx() - face.Detail().ax(), 95);
  // Turned faces: the pose byte leaves -15 to 15.
  EXPECT_EQ(check(Face(320, 250, 240, 300, 10), 2), support::FaceGood);
  EXPECT_EQ(check(Face(320, 250, 240, 300, 40), 2), support::FaceBadPose);
  EXPECT_GT(static_cast<int8_t>(face.Slot(2)[support::kFacePoseOffset]), 15);
  EXPECT_EQ(check(Face(320, 250, 240, 300, -40), 3), support::FaceBadPose);
  EXPECT_LT(static_cast<int8_t>(face.Slot(3)[support::kFacePoseOffset]), -15);
  // Slots outside the five: nothing is made, nothing written.
  EXPECT_EQ(check(Face(320, 250, 240, 300), 5), support::FaceNone);
  EXPECT_EQ(check(Face(320, 250, 240, 300), -1), support::FaceNone);
}

TEST(TravexFaceCheck, LandmarkDistanceIsExactForAny32BitPoints) {
  auto tooClose = [](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
    FaceDetail d;
    d.values[5] = ax, d.values[6] = ay, d.values[7] = bx, d.values[8] = by;
    return support::LandmarksTooClose(d);
  };
  EXPECT_TRUE(tooClose(0, 0, 94, 0));
  EXPECT_FALSE(tooClose(0, 0, 95, 0));
  EXPECT_FALSE(tooClose(0, 0, 57, 76));  // 57^2 + 76^2 = 9025
  EXPECT_TRUE(tooClose(0, 0, 57, 75));
  EXPECT_TRUE(tooClose(-30, 40, 30, -30));  // 3600 + 4900 = 8500
  EXPECT_FALSE(tooClose(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  EXPECT_FALSE(tooClose(INT_MAX, 0, INT_MIN, 0));
  EXPECT_TRUE(tooClose(INT_MAX, INT_MIN, INT_MAX, INT_MIN));
}

FaceDetail Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  FaceDetail d;
  d.values[0] = x1, d.values[1] = y1, d.values[2] = x2, d.values[3] = y2;
  return d;
}

TEST(FacePosition, TableOrderAndBoundariesAtHalfScale) {
  // Well placed: 240 x 300 (120 x 150 at half scale, centre 120, 125).
  EXPECT_EQ(PositionOf(Box(120, 100, 360, 400)), session::FaceWellPlaced);
  // Size first: too large wins over a bad centre, too small over the centre as well.
  EXPECT_EQ(PositionOf(Box(0, 0, 322, 300)), session::FaceTooLarge);      // w 161
  EXPECT_EQ(PositionOf(Box(0, 0, 320, 300)), session::FaceAtLeft);        // w 160, cx 80
  EXPECT_EQ(PositionOf(Box(0, 0, 158, 300)), session::FaceTooSmall);      // w 79
  EXPECT_EQ(PositionOf(Box(200, 100, 440, 310)), session::FaceTooSmall);  // h 105
  // The edge case of the hints: 200 x 240 centred at x = 100.
  EXPECT_EQ(PositionOf(Box(0, 120, 200, 360)), session::FaceAtLeft);
  EXPECT_EQ(PositionOf(Box(20, 100, 340, 400)), session::FaceWellPlaced);   // cx 90
  EXPECT_EQ(PositionOf(Box(18, 100, 338, 400)), session::FaceAtLeft);       // cx 89
  EXPECT_EQ(PositionOf(Box(140, 100, 460, 400)), session::FaceAtRight);     // cx 150
  EXPECT_EQ(PositionOf(Box(138, 100, 458, 400)), session::FaceWellPlaced);  // cx 149
  EXPECT_EQ(PositionOf(Box(120, 28, 360, 348)), session::FaceAtTop);        // cy 94
  EXPECT_EQ(PositionOf(Box(120, 30, 360, 350)), session::FaceWellPlaced);   // cy 95
  EXPECT_EQ(PositionOf(Box(120, 170, 360, 490)), session::FaceAtBottom);    // cy 165
  // Halving truncates toward zero: -1 / 2 is 0, not -1.
  EXPECT_EQ(PositionOf(Box(-1, 100, 159, 400)), session::FaceTooSmall);  // w 79 - 0
  EXPECT_EQ(PositionOf(Box(-3, 100, 159, 400)), session::FaceAtLeft);    // w 80, cx 39
}

TEST(FacePosition, NonsenseBoxesGiveACodeWithoutOverflow) {
  EXPECT_EQ(PositionOf(Box(INT_MIN, INT_MIN, INT_MAX, INT_MAX)), session::FaceTooLarge);
  EXPECT_EQ(PositionOf(Box(INT_MAX, INT_MAX, INT_MIN, INT_MIN)), session::FaceTooSmall);
  EXPECT_EQ(PositionOf(Box(600, 400, 100, 50)), session::FaceTooSmall);  // inverted
  EXPECT_EQ(PositionOf(Box(-5000, -5000, -4800, -4760)), session::FaceAtLeft);
  EXPECT_EQ(PositionOf(Box(5000, 100, 5240, 400)), session::FaceAtRight);
  EXPECT_THAT((std::vector<std::string>{session::PositionHint(0), session::PositionHint(1),
                                        session::PositionHint(2), session::PositionHint(3),
                                        session::PositionHint(4), session::PositionHint(5)}),
              ElementsAre("Move to right", "Move to left", "Move down", "Move up", "Move forward",
                          "Move backward"));
  EXPECT_EQ(session::PositionHint(6), nullptr);
  EXPECT_EQ(session::PositionHint(-1), nullptr);
}

}  // namespace
}  // namespace ocuvant::face_test
