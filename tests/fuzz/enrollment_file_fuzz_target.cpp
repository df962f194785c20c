// The host's enrollment file reader on any text; what it accepts writes back and reads
// again to the same enrollment, whatever bytes its label and kind names hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "hosts/ocuvant/enrollment_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ocuvant::host;
  Enrollment e;
  std::string error;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!EnrollmentFromJson(text, &e, &error)) return 0;
  Enrollment again;
  if (!EnrollmentFromJson(EnrollmentToJson(e), &again, &error)) __builtin_trap();
  if (again.templates != e.templates || again.label != e.label) __builtin_trap();
  return 0;
}
