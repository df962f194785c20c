// Face frame processing on rendered infrared frames through the reference library,
// with the session's clock given frame by frame.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "face_test_support.h"
#include "session/face_workflow.h"

namespace ocuvant::face_test {
namespace {

using session::FaceCollecting;
using session::FaceFrameOutcome;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Outcome = session::FaceFrameOutcome;

// A person whose eyes are at least half the face width apart, so that a 200-pixel-wide
// face has its landmarks 100 pixels or more apart.
uint64_t WideEyedPerson(uint64_t from = 1) {
  for (uint64_t p = from;; ++p) {
    if (simulator::PersonTraits(p).eyeSpacing >= 500) return p;
  }
}

class FaceWorkflowTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kT0 = 0xFFFFF000u;  // the tick count wraps during the tests

  void SetUp() override {
    wf_ = std::make_unique<session::FaceWorkflow>();
    ASSERT_EQ(wf_->LoadLibrary(ReferenceDir()), 1);
    rec_.TakeLines();
    wf_->Start(kT0);
  }
  Outcome At(uint32_t ms, const simulator::FaceScene& scene) {
    RenderFrame(scene, ++frame_, &bgr_);
    return wf_->ProcessFrame(bgr_.data(), bgr_.size(), kT0 + ms);
  }
  int Count() const { return wf_->State().templateCount; }

  Recorder rec_;
  std::unique_ptr<session::FaceWorkflow> wf_;
  std::vector<uint8_t> bgr_;
  uint64_t frame_ = 0;
};

TEST_F(FaceWorkflowTest, MoveToRightOnceAndAgainOnlyAfterThreeSeconds) {
  // 200 x 240 centred at x = 100 (100 x 120 at x = 50 at half scale).
  const auto left = Face(100, 240, 200, 240, 0, WideEyedPerson());
  EXPECT_EQ(At(100, left), Outcome::Misplaced);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Move to right"));
  for (uint32_t t : {600u, 1600u, 2600u, 3100u}) EXPECT_EQ(At(t, left), Outcome::Misplaced);
  EXPECT_THAT(rec_.TakeLines(), IsEmpty());  // 3000 ms exactly is not more than 3000
  EXPECT_EQ(At(3101, left), Outcome::Misplaced);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Move to right"));
  // Another hint is logged at once, and the first one again at once after it.
  EXPECT_EQ(At(3200, Face(520, 240, 200, 240, 0, WideEyedPerson())), Outcome::Misplaced);
  EXPECT_EQ(At(3300, left), Outcome::Misplaced);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Move to left", "face|Move to right"));
  EXPECT_EQ(Count(), 0);
}

TEST_F(FaceWorkflowTest, LandmarksEightyPixelsApartSayMoveForwardAndAreNotCounted) {
  const uint64_t person = 3;
  simulator::FaceScene far = Face(240, 250, 0, 220, 0, person);
  far.width = 80 * 1000 / simulator::PersonTraits(person).eyeSpacing;
  ASSERT_NEAR(simulator::EyeDistance(far), 80, 1);
  // The session starts on "Move forward": it repeats only once 3 s have passed.
  for (uint32_t t = 500; t <= 3000; t += 500) EXPECT_EQ(At(t, far), Outcome::TooFar);
  EXPECT_THAT(rec_.TakeLines(), IsEmpty());
  EXPECT_EQ(At(3500, far), Outcome::TooFar);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Move forward"));
  EXPECT_EQ(At(4000, far), Outcome::TooFar);
  EXPECT_THAT(rec_.TakeLines(), IsEmpty());
  EXPECT_EQ(Count(), 0);
  // Too far keeps the session active: well past 10 s it still answers.
  for (uint32_t t = 5000; t <= 16000; t += 1000) At(t, far);
  EXPECT_EQ(At(16500, Face(240, 250, 240, 300, 0, person)), Outcome::Counted);
}

TEST_F(FaceWorkflowTest, TwoGoodFramesHalfASecondApartCountOnce) {
  const auto good = Face(240, 250, 240, 300);
  EXPECT_EQ(At(300, good), Outcome::TooSoon);  // the start counts as the last accept
  EXPECT_EQ(At(1000, good), Outcome::Counted);
  EXPECT_EQ(At(1500, good), Outcome::TooSoon);
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(At(1800, good), Outcome::Counted);  // 800 ms is enough
  EXPECT_EQ(Count(), 2);
  EXPECT_THAT(rec_.Lines(), IsEmpty());
}

TEST_F(FaceWorkflowTest, StopsSilentlyAfterTenSecondsWithoutAHint) {
  const auto good = Face(240, 250, 240, 300);
  EXPECT_EQ(At(1000, good), Outcome::Counted);
  EXPECT_EQ(At(9000, good), Outcome::Counted);
  EXPECT_EQ(At(10000, simulator::FaceScene{}), Outcome::NoFace);
  EXPECT_EQ(At(10001, good), Outcome::Inactive);
  // Nothing wakes it up: not a good face, not a misplaced one.
  EXPECT_EQ(At(10900, good), Outcome::Inactive);
  EXPECT_EQ(At(11000, Face(100, 240, 200, 240, 0, WideEyedPerson())), Outcome::Inactive);
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(wf_->State().collecting, FaceCollecting::Idle);
  EXPECT_THAT(rec_.Lines(), IsEmpty());
  // A new start collects again from zero.
  wf_->Start(kT0 + 20000);
  EXPECT_EQ(At(21000, good), Outcome::Counted);
  EXPECT_EQ(Count(), 1);
}

TEST_F(FaceWorkflowTest, BadPoseIsReportedEveryThreeSecondsWhenWellPlaced) {
  const auto turned = Face(240, 250, 240, 300, 40);
  EXPECT_EQ(At(1000, turned), Outcome::BadPose);
  EXPECT_EQ(At(3000, turned), Outcome::BadPose);
  EXPECT_THAT(rec_.TakeLines(), IsEmpty());
  EXPECT_EQ(At(3001, turned), Outcome::BadPose);
  EXPECT_EQ(At(6000, turned), Outcome::BadPose);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Bad pos"));
  EXPECT_EQ(At(6002, turned), Outcome::BadPose);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Bad pos"));
  EXPECT_EQ(Count(), 0);
  // A turned face that is also misplaced gets the position hint instead.
  EXPECT_EQ(At(6100, Face(100, 240, 200, 240, 40, WideEyedPerson())), Outcome::Misplaced);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Move to right"));
}

TEST_F(FaceWorkflowTest, FiveTemplatesOfOnePersonAreEnrolledAndTheCountStopsAtFive) {
  const auto good = Face(240, 250, 240, 300, 0, 5);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(At(1000 * i, good), Outcome::Counted);
  // The same person a little nearer and turned a little is still that person.
  EXPECT_EQ(At(5000, Face(250, 240, 280, 320, 8, 5)), Outcome::Enrolled);
  EXPECT_EQ(Count(), 5);
  EXPECT_EQ(wf_->State().collecting, FaceCollecting::Enrolled);
  EXPECT_EQ(std::memcmp(wf_->Library().Record(), "TVXE", 4), 0);
  for (uint32_t t = 6000; t <= 9000; t += 1000) EXPECT_EQ(At(t, good), Outcome::Dropped);
  EXPECT_EQ(Count(), 5);
  EXPECT_THAT(rec_.Lines(), IsEmpty());  // success is not reported
  wf_->Start(kT0 + 10000);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(At(11000, good), Outcome::Counted);
}

TEST_F(FaceWorkflowTest, FiveDifferentPeopleAreRefusedAndCollectingStartsAgain) {
  for (uint64_t p = 1; p <= 4; ++p) {
    EXPECT_EQ(At(1000 * static_cast<uint32_t>(p), Face(240, 250, 240, 300, 0, p * 11)),
              Outcome::Counted);
  }
  EXPECT_EQ(At(5000, Face(240, 250, 240, 300, 0, 55)), Outcome::EnrollFailed);
  EXPECT_THAT(rec_.TakeLines(), ElementsAre("face|Face enrollment failed"));
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(wf_->State().collecting, FaceCollecting::Collecting);
  EXPECT_EQ(At(5800, Face(240, 250, 240, 300, 0, 55)), Outcome::Counted);
}

TEST_F(FaceWorkflowTest, FramesOfAnotherSizeAreDroppedUnread) {
  const auto good = Face(240, 250, 240, 300);
  RenderFrame(good, 1, &bgr_);
  EXPECT_EQ(wf_->ProcessFrame(bgr_.data(), 320 * 240 * 3, kT0 + 1000), Outcome::Dropped);
  EXPECT_EQ(wf_->ProcessFrame(bgr_.data(), bgr_.size() - 1, kT0 + 1000), Outcome::Dropped);
  EXPECT_EQ(wf_->ProcessFrame(nullptr, bgr_.size(), kT0 + 1000), Outcome::Dropped);
  // A larger buffer is not a 640 x 480 frame either (a 1280 x 720 camera).
  std::vector<uint8_t> big(1280 * 720 * 3, 0);
  EXPECT_EQ(wf_->ProcessFrame(big.data(), big.size(), kT0 + 1000), Outcome::Dropped);
  EXPECT_EQ(Count(), 0);
  wf_->Stop();
  EXPECT_EQ(wf_->ProcessFrame(bgr_.data(), bgr_.size(), kT0 + 2000), Outcome::Dropped);
}

TEST_F(FaceWorkflowTest, GreyImageIsTheBlueByteTurnedTopRowFirst) {
  std::vector<uint8_t> frame(session::kFaceFrameBytes, 0);
  for (size_t stored = 0; stored < 480; ++stored) {
    for (size_t x = 0; x < 640; ++x) {
      uint8_t* px = &frame[(stored * 640 + x) * 3];
      px[0] = static_cast<uint8_t>(stored * 7 + x);  // blue
      px[1] = 1;
      px[2] = 2;
    }
  }
  wf_->ProcessFrame(frame.data(), frame.size(), kT0 + 1);
  const uint8_t* grey = wf_->GreyImage();
  EXPECT_EQ(grey[0], static_cast<uint8_t>(479 * 7));
  EXPECT_EQ(grey[639], static_cast<uint8_t>(479 * 7 + 639));
  EXPECT_EQ(grey[479 * 640 + 5], 5);
  EXPECT_EQ(grey[100 * 640 + 10], static_cast<uint8_t>(379 * 7 + 10));
}

TEST(FaceWorkflowNonsense, NonsenseDetailRecordsGiveHintsWithoutCounting) {
  Recorder rec;
  auto wf = std::make_unique<session::FaceWorkflow>();
  ASSERT_EQ(wf->LoadLibrary(BrokenDir("nonsense")), 1);
  EXPECT_THAT(rec.Boxes(), IsEmpty());  // no initialiser, no message
  wf->Start(0);
  std::vector<uint8_t> frame(session::kFaceFrameBytes, 0);
  std::vector<Outcome> outcomes;
  for (uint32_t i = 1; i <= 10; ++i) {
    outcomes.push_back(wf->ProcessFrame(frame.data(), frame.size(), 1000 * i));
  }
  // Outside and large, inverted, limits, inverted limits, empty box with one landmark.
  EXPECT_THAT(outcomes, ElementsAre(Outcome::Misplaced, Outcome::Misplaced, Outcome::Misplaced,
                                    Outcome::Misplaced, Outcome::TooFar, Outcome::Misplaced,
                                    Outcome::Misplaced, Outcome::Misplaced, Outcome::Misplaced,
                                    Outcome::TooFar));
  EXPECT_THAT(rec.Lines(),
              ElementsAre("face|Move backward", "face|Move forward", "face|Move backward",
                          "face|Move forward", "face|Move backward", "face|Move forward",
                          "face|Move backward", "face|Move forward"));
  EXPECT_EQ(wf->State().templateCount, 0);
}

}  // namespace
}  // namespace ocuvant::face_test
