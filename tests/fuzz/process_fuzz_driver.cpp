// Runs the Process fuzz target without libFuzzer: the hard cases by name, then a bounded
// number of pseudo-random inputs (count from the first argument, default 300; seed from the
// second). Any fault shows under the sanitizers; the program itself only counts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "tests/fuzz/process_fuzz_target.h"

namespace {

std::vector<uint8_t> Input(int kindMode, int base, int32_t l, int32_t r, int32_t t, int32_t b,
                           const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> in(18 + payload.size());
  in[0] = static_cast<uint8_t>(kindMode);
  in[1] = static_cast<uint8_t>(base);
  const int32_t rect[4] = {l, r, t, b};
  std::memcpy(in.data() + 2, rect, sizeof rect);
  for (size_t i = 0; i < payload.size(); ++i) in[18 + i] = payload[i];
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 300;
  std::mt19937 rng(argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1);
  long runs = 0;
  for (int kindMode = 0; kindMode < 6; ++kindMode) {
    // Uniform grey, all 0, all 255, noise; rendered eyes (one at the border, one half shut).
    for (int grey : {0, 128, 255}) {
      LLVMFuzzerTestOneInput(Input(kindMode, 4, 0, 2000, 0, 2000, {uint8_t(grey)}).data(), 19);
      ++runs;
    }
    std::vector<uint8_t> noise(4099);
    for (auto& v : noise) v = static_cast<uint8_t>(rng());
    auto in = Input(kindMode, 5, 0, 2000, 0, 2000, noise);
    LLVMFuzzerTestOneInput(in.data(), in.size());
    ++runs;
    const int32_t rects[][4] = {
        {0, 2000, 0, 2000},       {500, 400, 300, 200},
        {-100000, -5, -9, -1},    {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX},
        {3000, 4000, 3000, 4000}, {480, 480, 480, 480}};
    for (int base = 0; base < 4; ++base)
      for (const auto& r : rects) {
        in = Input(kindMode, base, r[0], r[1], r[2], r[3], {});
        LLVMFuzzerTestOneInput(in.data(), in.size());
        ++runs;
      }
  }
  for (long i = 0; i < count; ++i) {
    std::vector<uint8_t> in(18 + rng() % 600);
    for (auto& v : in) v = static_cast<uint8_t>(rng());
    if (i % 2) {  // sensible rectangles half of the time
      const int32_t rect[4] = {0, 2000, 0, 2000};
      std::memcpy(in.data() + 2, rect, sizeof rect);
    }
    LLVMFuzzerTestOneInput(in.data(), in.size());
    ++runs;
  }
  std::printf("%ld inputs\n", runs);
  return 0;
}
