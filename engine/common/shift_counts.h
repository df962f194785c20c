// Bit counts of one stored template against all 13 rotated probe copies: the inner loop
// of MatchTemplate, with a vector version where the processor has one.
#pragma once

#include <cstdint>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine {

// counts[c] = CountBits(stored, rotated[c]) for c = 0 .. 12.
void CountShifts(const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                 BitCounts (&counts)[kShiftCount]);

// The portable version (also the reference the vector version is tested against).
void CountShiftsPortable(const uint8_t* stored,
                         const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                         BitCounts (&counts)[kShiftCount]);

}  // namespace ocuvant::engine
