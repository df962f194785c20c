// Result of session starts whose camera, session or engine side is not attached to
// this build yet: the code a start reports when its camera cannot start running.
#pragma once

#include <cstdint>

namespace ocuvant::control {

inline constexpr int32_t kSessionCannotStart = -100;

}  // namespace ocuvant::control
