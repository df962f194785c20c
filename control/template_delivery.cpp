#include "control/template_delivery.h"

#include <algorithm>

#include "engine/common/engine_types.h"

namespace ocuvant::control {

std::string TemplateHex(const uint8_t* area) {
  const uint8_t* end = area + engine::kTemplateBytes;
  if (std::all_of(area, end, [](uint8_t b) { return b == 0; })) return {};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(2 * engine::kTemplateBytes, '0');
  for (size_t i = 0; i < engine::kTemplateBytes; ++i) {
    text[2 * i] = kDigits[area[i] >> 4];
    text[2 * i + 1] = kDigits[area[i] & 0x0F];
  }
  return text;
}

}  // namespace ocuvant::control
