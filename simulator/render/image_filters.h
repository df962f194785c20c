// Camera effects applied to a rendered scene: optical blur and sensor noise,
// in place, on a band of columns of an 8-bit view.
#pragma once

#include <cstdint>

#include "simulator/render/eye_scene.h"

namespace ocuvant::sim {

// Gaussian blur of columns x0 to x1 - 1 (edges replicated at the band's
// sides and at the top and bottom rows). Sigma below 0.2 does nothing; large
// sigmas use three box passes of the same variance.
void BlurBand(const GreyView& view, int x0, int x1, double sigma);

// Adds sensor noise: deviation sigma at grey level 128, growing with the
// signal (shot noise); the pattern is a function of (seed, x, y) only.
void AddSensorNoise(const GreyView& view, int x0, int x1, double sigma, uint64_t seed);

}  // namespace ocuvant::sim
