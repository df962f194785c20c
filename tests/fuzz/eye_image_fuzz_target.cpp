// The engine tool's eye-image reader (binary PGM, raw dump, grey BMP) on any file. The
// first two bytes choose the expected size (width, height in 1..256 each); the rest is
// the file's content.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/ocuvant/engine_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int width = data[0] + 1, height = data[1] + 1;
  static const std::string path = "/tmp/ocuvant_fuzz_eye_" + std::to_string(::getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 2) std::fwrite(data + 2, 1, size - 2, f);
  std::fclose(f);
  std::vector<uint8_t> pixels;
  std::string error;
  if (ocuvant::host::ReadEyeImage(path, width, height, pixels, error) &&
      pixels.size() != size_t(width) * size_t(height)) {
    __builtin_trap();
  }
  return 0;
}
