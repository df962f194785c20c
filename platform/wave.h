// Uncompressed PCM WAVE images: the header checked and the sample data located.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ocuvant::platform {

struct WaveData {
  uint16_t channels = 0;             // 1 or 2
  uint32_t sampleRate = 0;           // frames per second
  uint16_t bitsPerSample = 0;        // 8 (unsigned) or 16 (signed little-endian)
  const uint8_t* samples = nullptr;  // points into the parsed image
  size_t frames = 0;
};

// Walks the RIFF chunks of `wav`. Anything that is not a PCM WAVE with 8- or
// 16-bit samples, one or two channels and a sane rate yields nullopt. A data
// chunk longer than the image is cut to the whole frames present.
std::optional<WaveData> ParseWave(const uint8_t* wav, size_t size);

}  // namespace ocuvant::platform
