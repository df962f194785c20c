// Voice prompts: short Mandarin recordings played asynchronously from the module's
// resources. One sound at a time: a new prompt ends the one still playing.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sound.h"

namespace ocuvant::session {

// Resource numbers of the prompts, by role.
enum VoicePrompt : int32_t {
  PromptRejectPosition = 201,   // rejection codes -7, -9, -12, -13, -14
  PromptEnrollFailed = 202,     // enrollment failed
  PromptEnrollDone = 203,       // enrollment completed (second step done)
  PromptRejectGaze = 204,       // rejection code -11
  PromptMatchTimeout = 205,     // match time-out
  PromptMatchFound = 206,       // match found
  PromptRejectOther = 207,      // every other rejection code
  PromptRejectPupil = 208,      // rejection codes -3 to -6
  PromptRejectOcclusion = 209,  // rejection codes -17 to -19
  PromptRejectFocus = 210,      // rejection codes -1, -2, -20
  PromptFirstStepDone = 215,    // first enrollment step done, second begins
};

// The control's sound player (one per control). Destruction stops any prompt.
class VoicePlayer {
 public:
  // `sink` nullptr: the system's default sound device (silent when there is none).
  explicit VoicePlayer(std::unique_ptr<platform::SoundSink> sink = nullptr);
  ~VoicePlayer();
  VoicePlayer(const VoicePlayer&) = delete;
  VoicePlayer& operator=(const VoicePlayer&) = delete;

  // Starts prompt `id` and returns at once: 1 when the prompt exists, 0 otherwise.
  // A missing or busy sound device stays silent and is not reported.
  int PlayPrompt(int32_t id);

  // A workflow moment's prompt: PromptFirstStepDone always, the others only when the
  // control's EnableVoice is greater than 0. Same result as PlayPrompt; 0 when muted.
  int PlayWorkflowPrompt(VoicePrompt id, int32_t enableVoice);

  void Stop();

 private:
  std::unique_ptr<platform::SoundSink> sink_;
};

// The rejection prompt for a negative engine result code.
VoicePrompt RejectionPromptFor(int32_t code);

}  // namespace ocuvant::session
