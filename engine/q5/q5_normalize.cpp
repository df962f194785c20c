// Stage 7: the iris ring unwrapped between the pupil and iris boundary points into the
// NormalizedIris, with 64 wrap columns on either side.
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

void Normalize(State& s, const Plane& eye) {
  for (int32_t l = 0; l < kAngularSamples; ++l) {
    const Point pp = s.pupilPoints[l], pi = s.irisPoints[l];
    for (int32_t k = 0; k < kNormRows; ++k) {
      // k/128 of the way from the pupil point to the iris point, rounded half up.
      const auto x = static_cast<int32_t>(
          ((int64_t{pp.x} << 19) + int64_t{k} * (pi.x - pp.x) * 4096 + (1 << 18)) >> 19);
      const auto y = static_cast<int32_t>(
          ((int64_t{pp.y} << 19) + int64_t{k} * (pi.y - pp.y) * 4096 + (1 << 18)) >> 19);
      s.normalizedIris[k][kWrap + l] = eye.Inside(x, y) ? eye.At(x, y) : 255;
    }
  }
  for (auto& row : s.normalizedIris)
    for (int32_t i = 0; i < kWrap; ++i) {
      row[i] = row[kAngularSamples + i];
      row[kAngularSamples + kWrap + i] = row[kWrap + i];
    }
}

}  // namespace ocuvant::engine::q5
