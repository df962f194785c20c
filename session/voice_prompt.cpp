#include "session/voice_prompt.h"

#include "session/prompt_resources.h"

namespace ocuvant::session {

VoicePlayer::VoicePlayer(std::unique_ptr<platform::SoundSink> sink)
    : sink_(sink ? std::move(sink) : platform::CreateDefaultSoundSink()) {}

VoicePlayer::~VoicePlayer() {
  sink_->Stop();
}

int VoicePlayer::PlayPrompt(int32_t id) {
  const PromptResource* prompt = FindPromptResource(id);
  if (prompt == nullptr) return 0;
  sink_->PlayAsync(prompt->wav, prompt->size);
  return 1;
}

int VoicePlayer::PlayWorkflowPrompt(VoicePrompt id, int32_t enableVoice) {
  if (id != PromptFirstStepDone && enableVoice <= 0) return 0;
  return PlayPrompt(id);
}

void VoicePlayer::Stop() {
  sink_->Stop();
}

VoicePrompt RejectionPromptFor(int32_t code) {
  switch (code) {
    case -1:
    case -2:
    case -20:
      return PromptRejectFocus;
    case -3:
    case -4:
    case -5:
    case -6:
      return PromptRejectPupil;
    case -7:
    case -9:
    case -12:
    case -13:
    case -14:
      return PromptRejectPosition;
    case -11:
      return PromptRejectGaze;
    case -17:
    case -18:
    case -19:
      return PromptRejectOcclusion;
    default:
      return PromptRejectOther;
  }
}

}  // namespace ocuvant::session
