// Builds WAVE images in memory for the sound tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ocuvant::platform {

struct WaveSpec {
  uint16_t format = 1;
  uint16_t channels = 1;
  uint32_t rate = 16000;
  uint16_t bits = 16;
  size_t frames = 160;
  std::string chunkBeforeFormat = {};  // raw bytes of an extra chunk placed before "fmt "
};

inline void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> BuildWave(const WaveSpec& spec) {
  std::vector<uint8_t> body;
  body.insert(body.end(), {'W', 'A', 'V', 'E'});
  body.insert(body.end(), spec.chunkBeforeFormat.begin(), spec.chunkBeforeFormat.end());
  const uint32_t blockAlign = spec.channels * spec.bits / 8u;
  body.insert(body.end(), {'f', 'm', 't', ' '});
  PutLe(body, 16, 4);
  PutLe(body, spec.format, 2);
  PutLe(body, spec.channels, 2);
  PutLe(body, spec.rate, 4);
  PutLe(body, spec.rate * blockAlign, 4);
  PutLe(body, blockAlign, 2);
  PutLe(body, spec.bits, 2);
  body.insert(body.end(), {'d', 'a', 't', 'a'});
  const size_t dataBytes = spec.frames * blockAlign;
  PutLe(body, static_cast<uint32_t>(dataBytes), 4);
  for (size_t i = 0; i < dataBytes; ++i) body.push_back(static_cast<uint8_t>(i * 7));
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
  PutLe(wav, static_cast<uint32_t>(body.size()), 4);
  wav.insert(wav.end(), body.begin(), body.end());
  return wav;
}

}  // namespace ocuvant::platform
