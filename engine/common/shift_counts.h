// Bit counts of one stored template against all 13 rotated probe copies: the inner loop
// of MatchTemplate, with vector versions where the processor has them.
#pragma once

#include <cstdint>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine {

// counts[c] = CountBits(stored, rotated[c]) for c = 0 .. 12.
void CountShifts(const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                 BitCounts (&counts)[kShiftCount]);

// The portable version (also the reference the vector versions are tested against).
void CountShiftsPortable(const uint8_t* stored,
                         const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                         BitCounts (&counts)[kShiftCount]);

// The versions of CountShifts. The best one the processor has is chosen on first use;
// every version returns the same counts.
enum class CountPath : int32_t {
  Portable,  // std::popcount as compiled for the baseline processor
  Popcnt,    // the processor's scalar population count
  Avx2,      // nibble lookup with vpshufb, byte sums with vpsadbw
  Avx512,    // AVX-512 VPOPCNTDQ
};
inline constexpr CountPath kCountPaths[] = {CountPath::Portable, CountPath::Popcnt, CountPath::Avx2,
                                            CountPath::Avx512};

const char* CountPathName(CountPath path);
bool CountPathAvailable(CountPath path);
CountPath ActiveCountPath();
// Makes CountShifts use `path` (tests and benchmarks); false, and nothing changes, when the
// processor lacks it. Not to be called while another thread is matching.
bool ForceCountPath(CountPath path);
// Back to the best path of the processor.
void ResetCountPath();

// One version directly (tests): the counts of `path`, which must be available.
void CountShiftsWith(CountPath path, const uint8_t* stored,
                     const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                     BitCounts (&counts)[kShiftCount]);

}  // namespace ocuvant::engine
