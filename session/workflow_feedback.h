// What the enrollment and matching workflows tell the person and the host: voice
// prompts, rejection feedback, illuminator commands, background snapshots and the
// result message to the control's window.
#pragma once

#include <cstdint>
#include <string>

#include "session/voice_prompt.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

// The control's voice player; a silent one while the control has none attached.
VoicePlayer& PlayerOf(control::COcuvantCtrl& ctrl);

// A workflow moment's prompt (215 always, the others when EnableVoice > 0).
void PlayMomentPrompt(control::COcuvantCtrl& ctrl, VoicePrompt prompt);

// Feedback for an engine rejection code (quality hint, rejection prompts, counter).
void RejectImage(control::COcuvantCtrl& ctrl, int32_t code);

// Asks the background camera (when there is one) for a snapshot into `path`.
void RequestBackgroundSnapshot(control::COcuvantCtrl& ctrl, int32_t captureKind,
                               const std::string& path);

// Sends a result message to the control's window and waits until it was handled.
void SendResult(control::COcuvantCtrl& ctrl, uint32_t message, int32_t result);

// Milliseconds since the session or step was armed (unsigned tick difference) is
// beyond `seconds`. A limit of zero or less has always passed.
bool TimeLimitPassed(const control::COcuvantCtrl& ctrl, int32_t seconds);
uint32_t SessionElapsedMs(const control::COcuvantCtrl& ctrl);

}  // namespace ocuvant::session
