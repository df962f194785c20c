// Feedback for an eye image the engine rejected: a quality hint to the illuminator
// device and, for the first rejection and every 200th after it, a voice prompt.
#pragma once

#include <cstdint>

#include "session/voice_prompt.h"

namespace ocuvant::session {

// Rejections between two announced ones.
inline constexpr int32_t kRejectionPromptInterval = 200;

// `code` is the engine's negative result; `rejectCount` the session's counter
// (m_rejectCount, reset with the session), incremented on every call. The prompt does
// not depend on EnableVoice. Codes -1, -2 and -20 send nothing to the device.
void RejectionFeedback(int32_t code, int32_t& rejectCount, VoicePlayer& player);

}  // namespace ocuvant::session
