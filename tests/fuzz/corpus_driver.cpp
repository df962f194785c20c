// Runs a parser fuzz target without libFuzzer: every file of the seed corpus folders
// given, then a bounded number of byte-level mutations of them (count from
// OCUVANT_FUZZ_MUTATIONS, default 2000). Faults show under the sanitizers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> seeds;
  for (int i = 1; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  if (seeds.empty()) {
    std::fprintf(stderr, "no seed files\n");
    return 2;
  }
  for (const auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());
  const char* env = std::getenv("OCUVANT_FUZZ_MUTATIONS");
  const long mutations = env != nullptr ? std::strtol(env, nullptr, 10) : 2000;
  std::mt19937 rng(1);
  for (long n = 0; n < mutations; ++n) {
    std::vector<uint8_t> in = seeds[rng() % seeds.size()];
    for (int edits = 1 + int(rng() % 8); edits > 0; --edits) {
      const uint32_t what = rng() % 4;
      if (what == 0 && !in.empty()) in[rng() % in.size()] = static_cast<uint8_t>(rng());
      if (what == 1) in.insert(in.begin() + (in.empty() ? 0 : rng() % in.size()), uint8_t(rng()));
      if (what == 2 && !in.empty()) in.erase(in.begin() + rng() % in.size());
      if (what == 3 && !in.empty()) in.resize(rng() % in.size());
    }
    LLVMFuzzerTestOneInput(in.data(), in.size());
  }
  std::printf("%zu seeds, %ld mutations\n", seeds.size(), mutations);
  return 0;
}
