// One iris in polar form (angle x normalised radius from pupil border to limbus),
// built from a seed.
#pragma once

#include <cstdint>
#include <vector>

namespace ocuvant::sim {

// Fills `out` with Subject::kIrisBands x Subject::kIrisAngles deviations from the
// iris level, grey levels x 16, [band][angle].
void BuildIris(uint64_t seed, std::vector<int16_t>& out);

}  // namespace ocuvant::sim
