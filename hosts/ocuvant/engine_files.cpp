// Readers of eye images and templates for the `ocuvant engine` tool.
#include "hosts/ocuvant/engine_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "engine/common/engine_types.h"
#include "simulator/render/pgm.h"

namespace ocuvant::host {

namespace {

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::string SizeText(int w, int h) {
  return std::to_string(w) + " x " + std::to_string(h);
}

bool ParseBmp(const std::vector<uint8_t>& f, int width, int height, std::vector<uint8_t>& out,
              std::string& error) {
  if (f.size() < 54) return error = "truncated BMP header", false;
  const uint32_t offset = U32(&f[10]), infoSize = U32(&f[14]);
  const int32_t w = static_cast<int32_t>(U32(&f[18])), h = static_cast<int32_t>(U32(&f[22]));
  const uint16_t bpp = U16(&f[28]);
  const uint32_t compression = U32(&f[30]);
  if (infoSize < 40 || compression != 0) return error = "unsupported BMP (compressed)", false;
  if (bpp != 8 && bpp != 24 && bpp != 32) return error = "unsupported BMP bit depth", false;
  const bool topDown = h < 0;
  const int64_t absH = topDown ? -int64_t{h} : h;
  if (w != width || absH != height)
    return error = "BMP is " + std::to_string(w) + " x " + std::to_string(absH) + ", expected " +
                   SizeText(width, height),
           false;
  const size_t bytesPerPixel = bpp / 8;
  const size_t stride = (static_cast<size_t>(width) * bytesPerPixel + 3) / 4 * 4;
  if (offset > f.size() || f.size() - offset < stride * static_cast<size_t>(height))
    return error = "truncated BMP pixel data", false;
  // 8-bit: grey through the palette (its blue entry; grey palettes have B = G = R).
  const size_t paletteAt = 14 + infoSize;
  if (bpp == 8 && (paletteAt > offset || offset - paletteAt < 4 * 256))
    return error = "BMP palette missing", false;
  out.resize(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row) {
    const uint8_t* src =
        &f[offset + stride * static_cast<size_t>(topDown ? row : height - 1 - row)];
    uint8_t* dst = &out[static_cast<size_t>(row) * width];
    for (int x = 0; x < width; ++x)
      dst[x] = bpp == 8 ? f[paletteAt + 4 * size_t{src[x]}] : src[x * bytesPerPixel + 1];
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  // One read into a buffer of the file's size (a stream iterator copies byte by byte).
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return error = "cannot open " + path, false;
  bytes.clear();
  bool ok = true;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 0) bytes.resize(static_cast<size_t>(size));
    ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  }
  size_t got = ok ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
  ok = ok && got == bytes.size();
  // Whatever follows (a file that grew, or one without a size such as a pipe).
  uint8_t chunk[65536];
  for (size_t more; ok && (more = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + more);
  ok = ok && !std::ferror(f);
  std::fclose(f);
  if (!ok) return error = "cannot read " + path, false;
  return true;
}

bool ReadEyeImage(const std::string& path, int width, int height, std::vector<uint8_t>& pixels,
                  std::string& error) {
  std::vector<uint8_t> f;
  if (!ReadWholeFile(path, f, error)) return false;
  const size_t expected = static_cast<size_t>(width) * height;
  if (f.size() >= 2 && f[0] == 'P' && f[1] == '5') {
    sim::PgmImage image;
    if (!sim::ParsePgm(f.data(), f.size(), image, error)) return false;
    if (image.width != width || image.height != height)
      return error = "PGM is " + SizeText(image.width, image.height) + ", expected " +
                     SizeText(width, height),
             false;
    pixels = std::move(image.pixels);
    return true;
  }
  if (f.size() >= 2 && f[0] == 'B' && f[1] == 'M' && f.size() != expected)
    return ParseBmp(f, width, height, pixels, error);
  if (f.size() == expected) {
    pixels = std::move(f);
    return true;
  }
  error = "not a P5 PGM, a grey BMP or a raw image of " + std::to_string(expected) + " bytes (" +
          SizeText(width, height) + ")";
  return false;
}

bool DecodeHex(const std::string& text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  int high = -1;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      return false;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return high < 0;
}

std::string EncodeHex(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s(2 * size, '0');
  for (size_t i = 0; i < size; ++i) {
    s[2 * i] = kDigits[bytes[i] >> 4];
    s[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return s;
}

bool ReadTemplateArg(const std::string& arg, std::vector<uint8_t>& bytes, std::string& error) {
  if (arg.size() == 2 * engine::kTemplateBytes && DecodeHex(arg, bytes)) return true;
  std::vector<uint8_t> f;
  if (!ReadWholeFile(arg, f, error)) {
    error = "'" + arg + "' is neither 1024 hex characters nor a readable file";
    return false;
  }
  if (f.size() == engine::kTemplateBytes) {
    bytes = std::move(f);
    return true;
  }
  if (DecodeHex(std::string(f.begin(), f.end()), bytes) && bytes.size() == engine::kTemplateBytes)
    return true;
  error = arg + ": not a template (512 bytes or 1024 hex characters)";
  return false;
}

namespace {

// Hex digit values, -1 for whitespace, -2 for anything else.
struct HexTable {
  int8_t v[256];
  constexpr HexTable() : v{} {
    for (int c = 0; c < 256; ++c) v[c] = -2;
    for (int c = '0'; c <= '9'; ++c) v[c] = static_cast<int8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) v[c] = static_cast<int8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) v[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c : {' ', '\t', '\n', '\v', '\f', '\r'}) v[c] = -1;
  }
};
constexpr HexTable kHex;

// Decodes the hex text of a database (digit pairs into bytes, whitespace skipped).
bool DecodeHexDatabase(const std::vector<uint8_t>& text, std::vector<uint8_t>& out) {
  out.resize(text.size() / 2);
  size_t n = 0;
  int high = -1;
  for (const uint8_t c : text) {
    const int v = kHex.v[c];
    if (v == -1) continue;
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      out[n++] = static_cast<uint8_t>(high << 4 | v);
      high = -1;
    }
  }
  out.resize(n);
  return high < 0;
}

}  // namespace

bool ReadTemplateDatabase(const std::string& path, std::vector<uint8_t>& bytes,
                          std::string& error) {
  if (!ReadWholeFile(path, bytes, error)) return false;
  // Hex when the first template's worth of bytes (1024 digits and a line end) is hex text;
  // a binary template starts with mask bytes, which are rarely all digits.
  const size_t head = std::min<size_t>(bytes.size(), 2 * engine::kTemplateBytes + 1);
  const bool text = !bytes.empty() && std::all_of(bytes.begin(), bytes.begin() + head,
                                                  [](uint8_t c) { return kHex.v[c] != -2; });
  if (text) {
    std::vector<uint8_t> decoded;
    if (DecodeHexDatabase(bytes, decoded) && decoded.size() % engine::kTemplateBytes == 0) {
      bytes = std::move(decoded);
      return true;
    }
    // Not hex after all: a binary database whose first bytes happened to be digits.
    if (bytes.size() % engine::kTemplateBytes != 0)
      return error = path + ": hex database must hold whole templates of 1024 digits", false;
    return true;
  }
  if (bytes.size() % engine::kTemplateBytes != 0)
    return error = path + ": size is not a multiple of 512 bytes", false;
  return true;
}

}  // namespace ocuvant::host
