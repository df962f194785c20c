#include "simulator/render/pgm.h"

#include <cstdio>
#include <memory>

namespace ocuvant::sim {
namespace {

constexpr long kMaxSide = 1 << 15;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool IsSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one unsigned decimal header field, skipping white space and comments.
bool HeaderNumber(const uint8_t* data, size_t size, size_t& pos, long& value) {
  for (;;) {
    while (pos < size && IsSpace(data[pos])) ++pos;
    if (pos < size && data[pos] == '#') {
      while (pos < size && data[pos] != '\n') ++pos;
      continue;
    }
    break;
  }
  if (pos >= size || data[pos] < '0' || data[pos] > '9') return false;
  value = 0;
  while (pos < size && data[pos] >= '0' && data[pos] <= '9') {
    value = value * 10 + (data[pos] - '0');
    if (value > kMaxSide * 16) return false;
    ++pos;
  }
  return true;
}

}  // namespace

bool WritePgm(const std::string& path, const uint8_t* pixels, int width, int height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return false;
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  if (std::fprintf(f.get(), "P5\n%d %d\n255\n", width, height) < 0) return false;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (std::fwrite(pixels, 1, n, f.get()) != n) return false;
  return std::fclose(f.release()) == 0;
}

bool ParsePgm(const uint8_t* data, size_t size, PgmImage& image, std::string& error) {
  if (size < 2 || data[0] != 'P' || data[1] != '5') {
    error = "not a binary PGM (P5) image";
    return false;
  }
  size_t pos = 2;
  long w = 0, h = 0, maxval = 0;
  if (!HeaderNumber(data, size, pos, w) || !HeaderNumber(data, size, pos, h) ||
      !HeaderNumber(data, size, pos, maxval)) {
    error = "malformed PGM header";
    return false;
  }
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
    error = "unsupported PGM size";
    return false;
  }
  if (maxval != 255) {
    error = "PGM maxval must be 255";
    return false;
  }
  if (pos >= size || !IsSpace(data[pos])) {
    error = "malformed PGM header";
    return false;
  }
  ++pos;  // the single white-space byte before the raster
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  if (size - pos < n) {
    error = "truncated PGM data";
    return false;
  }
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.pixels.assign(data + pos, data + pos + n);
  return true;
}

bool ReadPgm(const std::string& path, PgmImage& image, std::string& error) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
    bytes.insert(bytes.end(), buf, buf + got);
    if (bytes.size() > static_cast<size_t>(kMaxSide) * kMaxSide + 4096) {
      error = "file too large for a PGM image";
      return false;
    }
  }
  if (std::ferror(f.get())) {
    error = "read error on " + path;
    return false;
  }
  return ParsePgm(bytes.data(), bytes.size(), image, error);
}

}  // namespace ocuvant::sim
