// Band-limited Gaussian noise on a polar grid (angle x normalised radius) with
// seeded random amplitudes and phases per angular and radial frequency, so
// textures built from different seeds share no structure at any scale.
#pragma once

#include "simulator/render/random.h"

namespace ocuvant::sim {

// Frequencies: m cycles per turn along the angle, n cycles per unit of the
// normalised radius. The spectrum has full weight for mLo <= m <= mHi, tapers
// smoothly to zero at mMin and mMax, and has a Gaussian profile of deviation
// nSigma over n (cut at 3 nSigma).
struct PolarBand {
  int mMin, mLo, mHi, mMax;
  double nSigma;
};

// Adds noise of the given RMS (over the whole grid) to grid[band * angles + angle];
// angles is a power of two of at most 4096, mMax below angles / 2.
void AddPolarNoise(Rng& rng, const PolarBand& band, double rms, float* grid, int angles, int bands);

}  // namespace ocuvant::sim
