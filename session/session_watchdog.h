// A camera that stops delivering frames (unplugged, stalled) must not leave the host
// waiting for a result that no frame will ever decide: the session thread watches
// the armed session and ends it with its time-out outcome.
#pragma once

#include <cstdint>

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

// How long past its time-out an armed session waits for a frame to decide it
// before the watchdog does: a frame in flight still ends it the usual way.
inline constexpr uint32_t kStallGraceMs = 500;

// Ends the armed enrollment step or match session with its time-out outcome when
// its time-out passed more than kStallGraceMs ago: only a session that receives no
// frames gets that far. Serialised with the frame pipeline. True when it ended one.
bool EndStalledSession(control::COcuvantCtrl& ctrl);

}  // namespace ocuvant::session
