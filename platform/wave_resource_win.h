// The module's own WAVE resources (Windows only): which resource holds a given WAVE
// image, so a prompt plays from its resource as PlaySound(SND_RESOURCE) expects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ocuvant::platform {

// The number of the WAVE resource of the module holding this code whose bytes equal
// `wav`, or 0 when it has none (answers are remembered per image).
uint16_t FindWaveResource(const uint8_t* wav, size_t size);

}  // namespace ocuvant::platform
