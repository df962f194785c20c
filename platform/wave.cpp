#include "platform/wave.h"

#include <algorithm>
#include <cstring>

namespace ocuvant::platform {

namespace {

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint32_t kMinRate = 4000;
constexpr uint32_t kMaxRate = 192000;

}  // namespace

std::optional<WaveData> ParseWave(const uint8_t* wav, size_t size) {
  if (wav == nullptr || size < 12) return std::nullopt;
  if (std::memcmp(wav, "RIFF", 4) != 0 || std::memcmp(wav + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  // The RIFF size may overstate the image; never read past `size`.
  const size_t end = std::min<size_t>(size, static_cast<size_t>(Le32(wav + 4)) + 8);
  WaveData out;
  bool haveFormat = false;
  size_t pos = 12;
  while (pos + 8 <= end) {
    const uint8_t* chunk = wav + pos;
    const size_t length = Le32(chunk + 4);
    const size_t available = end - pos - 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || length > available) return std::nullopt;
      const uint16_t format = Le16(chunk + 8);
      out.channels = Le16(chunk + 10);
      out.sampleRate = Le32(chunk + 12);
      const uint16_t blockAlign = Le16(chunk + 20);
      out.bitsPerSample = Le16(chunk + 22);
      if (format != kFormatPcm || (out.channels != 1 && out.channels != 2) ||
          (out.bitsPerSample != 8 && out.bitsPerSample != 16) || out.sampleRate < kMinRate ||
          out.sampleRate > kMaxRate || blockAlign != out.channels * out.bitsPerSample / 8) {
        return std::nullopt;
      }
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return std::nullopt;
      const size_t frameBytes = static_cast<size_t>(out.channels) * out.bitsPerSample / 8;
      out.samples = chunk + 8;
      out.frames = std::min(length, available) / frameBytes;
      if (out.frames == 0) return std::nullopt;
      return out;
    }
    if (length > available) return std::nullopt;
    pos += 8 + length + (length & 1);  // chunks are padded to even sizes
  }
  return std::nullopt;
}

}  // namespace ocuvant::platform
