// Conversion of the user's Texture setting into the least texture value an image needs.
#include <cmath>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine {

int32_t TextureThreshold(uint32_t texture, int32_t factor) {
  // 100 and above would divide by zero or take the root of a negative number.
  const long double t = texture >= 100 ? 99.0L : static_cast<long double>(texture);
  const long double v = static_cast<long double>(factor) * std::sqrt(t / (100.0L - t)) + 0.5L;
  return static_cast<int32_t>(std::trunc(v));
}

}  // namespace ocuvant::engine
