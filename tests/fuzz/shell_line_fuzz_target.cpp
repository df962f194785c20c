// The shell's argument splitter on any line: every token it returns is a non-empty
// piece of the line, in order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hosts/ocuvant/shell_tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> tokens;
  std::string error;
  if (!ocuvant::host::Tokenize(line, &tokens, &error)) return 0;
  size_t at = 0;
  for (const std::string& t : tokens) {
    if (t.empty()) __builtin_trap();
    at = line.find(t, at);
    if (at == std::string::npos) __builtin_trap();
    at += t.size();
  }
  return 0;
}
