// Files of the `ocuvant engine` tool: eye images (PGM, raw dumps, grey BMPs) and
// templates (512-byte binary or 1024 hex characters).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ocuvant::host {

// Reads an 8-bit grey image of exactly width x height: binary PGM (P5, maxval 255), raw
// bytes (file of width * height bytes) or a BMP (8-bit with palette, or 24/32-bit grey,
// either row order). false with a one-line reason otherwise.
bool ReadEyeImage(const std::string& path, int width, int height, std::vector<uint8_t>& pixels,
                  std::string& error);

// A template argument: 1024 hex characters, or a file holding 512 binary bytes or one hex line.
bool ReadTemplateArg(const std::string& arg, std::vector<uint8_t>& bytes, std::string& error);

// A database file: templates back to back (512 bytes each) or one hex template per line.
bool ReadTemplateDatabase(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Decodes hex text (whitespace ignored) into bytes; false on any other character or an odd
// number of digits.
bool DecodeHex(const std::string& text, std::vector<uint8_t>& bytes);
std::string EncodeHex(const uint8_t* bytes, size_t size);

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace ocuvant::host
