#include "session/rejection_feedback.h"

#include "device/illuminator.h"

namespace ocuvant::session {

void RejectionFeedback(int32_t code, int32_t& rejectCount, VoicePlayer& player) {
  if (code != -1 && code != -2 && code != -20) {
    device::SendIlluminatorCommand(device::CmdQualityHint);
  }
  if (rejectCount % kRejectionPromptInterval == 0) player.PlayPrompt(RejectionPromptFor(code));
  // Wraps instead of overflowing in a session that never ends.
  rejectCount = rejectCount == INT32_MAX ? 0 : rejectCount + 1;
}

}  // namespace ocuvant::session
