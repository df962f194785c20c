// One eye of one kind against the host's database of that kind.
#pragma once

#include <cstdint>

#include "session/kind_view.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

// Threshold of the pupil-to-iris ratio (percent) above which the illuminator is
// switched on before half of the match time has passed.
inline constexpr int32_t kPupilRatioLimit = 45;

// Runs the kind's ProcessMatchImage on `image` (altered by the engine) into the
// kind's probe buffers and compares an accepted probe with the database: the match
// index (0 or more) or -1. The process code is kept in the control's working
// buffers; a rejection gets its feedback.
int32_t MatchEye(control::COcuvantCtrl& ctrl, const KindView& k, int eye, uint8_t* image,
                 const int32_t* database, int32_t count);

}  // namespace ocuvant::session
