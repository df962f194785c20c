#include <gtest/gtest.h>

#include <memory>

#include "device/illuminator.h"
#include "platform/recording_sound_sink.h"
#include "platform/thread.h"
#include "session/prompt_resources.h"
#include "session/rejection_feedback.h"
#include "session/voice_prompt.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::session {
namespace {

using platform::RecordingSoundSink;
using CallKind = RecordingSoundSink::CallKind;

// Lends the player a sink whose recording outlives the player.
class ForwardingSink final : public platform::SoundSink {
 public:
  explicit ForwardingSink(RecordingSoundSink& to) : to_(to) {}
  void PlayAsync(const uint8_t* wav, size_t size) override { to_.PlayAsync(wav, size); }
  void Stop() override { to_.Stop(); }

 private:
  RecordingSoundSink& to_;
};

class VoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { device::InstallHidTransport(&illuminator_); }
  void TearDown() override { device::InstallHidTransport(nullptr); }

  // The prompt numbers handed to the sink, in order (identified by their data).
  std::vector<int32_t> Played() const {
    std::vector<int32_t> ids;
    for (const auto& call : sound_.Calls()) {
      if (call.kind != CallKind::Play) continue;
      int32_t id = -1;
      for (size_t i = 0; i < kPromptResourceCount; ++i) {
        if (kPromptResources[i].wav == call.wav && kPromptResources[i].size == call.size) {
          id = kPromptResources[i].id;
        }
      }
      ids.push_back(id);
    }
    return ids;
  }

  RecordingSoundSink sound_;
  simulator::VirtualIlluminator illuminator_;
  VoicePlayer player_{std::make_unique<ForwardingSink>(sound_)};
};

TEST_F(VoiceTest, PlayPromptHandsTheResourceToTheSinkAndANewOneFollows) {
  EXPECT_EQ(player_.PlayPrompt(PromptRejectPosition), 1);
  EXPECT_EQ(player_.PlayPrompt(PromptFirstStepDone), 1);
  EXPECT_EQ(player_.PlayPrompt(212), 0);  // no such resource: nothing played
  EXPECT_EQ(Played(), (std::vector<int32_t>{201, 215}));
}

TEST_F(VoiceTest, DestroyingThePlayerStopsTheSound) {
  RecordingSoundSink sound;
  {
    VoicePlayer player(std::make_unique<ForwardingSink>(sound));
    player.PlayPrompt(PromptMatchFound);
  }
  const auto calls = sound.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, CallKind::Play);
  EXPECT_EQ(calls[1].kind, CallKind::Stop);
}

TEST_F(VoiceTest, EnableVoiceMutesWorkflowPromptsButTheFirstStep) {
  const VoicePrompt moments[] = {PromptFirstStepDone, PromptEnrollDone, PromptEnrollFailed,
                                 PromptMatchFound, PromptMatchTimeout};
  for (VoicePrompt p : moments) player_.PlayWorkflowPrompt(p, 0);
  for (VoicePrompt p : moments) player_.PlayWorkflowPrompt(p, -3);
  EXPECT_EQ(Played(), (std::vector<int32_t>{215, 215}));
  sound_.Clear();
  for (VoicePrompt p : moments) EXPECT_EQ(player_.PlayWorkflowPrompt(p, 1), 1);
  EXPECT_EQ(Played(), (std::vector<int32_t>{215, 203, 202, 206, 205}));
}

TEST_F(VoiceTest, RejectionCodesChooseTheirPrompt) {
  const std::pair<int32_t, int32_t> table[] = {
      {-1, 210},  {-2, 210},  {-20, 210}, {-3, 208},  {-4, 208},  {-5, 208},
      {-6, 208},  {-7, 201},  {-9, 201},  {-12, 201}, {-13, 201}, {-14, 201},
      {-11, 204}, {-17, 209}, {-18, 209}, {-19, 209}, {-8, 207},  {-10, 207},
      {-15, 207}, {-16, 207}, {-24, 207}, {-25, 207}, {-30, 207}, {-100, 207}};
  for (auto [code, prompt] : table) EXPECT_EQ(RejectionPromptFor(code), prompt) << code;
}

TEST_F(VoiceTest, EveryTwoHundredthRejectionIsAnnounced) {
  int32_t rejectCount = 0;
  RejectionFeedback(-8, rejectCount, player_);  // first of the session: announced
  EXPECT_EQ(Played(), std::vector<int32_t>{207});
  for (int i = 0; i < 199; ++i) RejectionFeedback(-11, rejectCount, player_);
  EXPECT_EQ(Played().size(), 1u);
  EXPECT_EQ(rejectCount, 200);
  RejectionFeedback(-11, rejectCount, player_);  // the 201st
  EXPECT_EQ(Played(), (std::vector<int32_t>{207, 204}));
  EXPECT_EQ(rejectCount, 201);
  // Every rejection but -1, -2 and -20 hints the device.
  EXPECT_EQ(illuminator_.Codes(), std::vector<uint8_t>(201, device::CmdQualityHint));

  rejectCount = 0;  // a session reset
  illuminator_.ClearReports();
  RejectionFeedback(-20, rejectCount, player_);
  RejectionFeedback(-1, rejectCount, player_);
  RejectionFeedback(-2, rejectCount, player_);
  EXPECT_EQ(Played(), (std::vector<int32_t>{207, 204, 210}));
  EXPECT_TRUE(illuminator_.Codes().empty());
  EXPECT_EQ(rejectCount, 3);
}

TEST_F(VoiceTest, RejectionPromptsIgnoreEnableVoiceAndSurviveNoDevice) {
  illuminator_.SetConnected(false);
  int32_t rejectCount = 400;
  RejectionFeedback(-5, rejectCount, player_);
  EXPECT_EQ(Played(), std::vector<int32_t>{208});
  EXPECT_EQ(rejectCount, 401);
}

// Without a sound card every prompt is silence: nothing blocks, nothing fails.
TEST(VoiceWithoutDevice, PromptsReturnAtOnceAndStopIsPrompt) {
  const uint32_t start = platform::GetTickCount();
  {
    VoicePlayer player(platform::CreateAlsaSoundSink("ocuvant_no_such_device"));
    for (size_t i = 0; i < kPromptResourceCount; ++i) {
      EXPECT_EQ(player.PlayPrompt(kPromptResources[i].id), 1);
    }
    VoicePlayer defaultPlayer;
    EXPECT_EQ(defaultPlayer.PlayPrompt(PromptMatchFound), 1);
    EXPECT_EQ(defaultPlayer.PlayPrompt(PromptMatchTimeout), 1);
  }
  EXPECT_LT(platform::TicksSince(start), 3000u);
}

}  // namespace
}  // namespace ocuvant::session
