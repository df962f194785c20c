// 8-bit binary PGM (P5) files for tools and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ocuvant::sim {

struct PgmImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows top to bottom, stride == width
};

// Writes `pixels` (stride == width) as P5 with maxval 255; false on any I/O error.
bool WritePgm(const std::string& path, const uint8_t* pixels, int width, int height);

// Reads a P5 file with maxval 255 (comments allowed in the header). Returns
// false and fills `error` for anything else: missing file, other magic or
// maxval, absurd sizes, truncated data.
bool ReadPgm(const std::string& path, PgmImage& image, std::string& error);

// Parses P5 bytes already in memory; same rules as ReadPgm.
bool ParsePgm(const uint8_t* data, size_t size, PgmImage& image, std::string& error);

}  // namespace ocuvant::sim
