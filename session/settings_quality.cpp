#include "session/settings_quality.h"

#include <algorithm>

namespace ocuvant::session {

void StoreQuality(QualitySet& set, int32_t irisKind, const int32_t (&values)[5]) {
  switch (irisKind) {
    case 0:
      std::copy_n(values, 5, set.small);
      break;
    case 1:
      std::copy_n(values, 5, set.big);
      break;
    case 2:
      std::copy_n(values, 3, set.q5);
      break;
    default:
      break;
  }
}

void QualityForEngine(const QualitySet& set, int32_t irisKind, int32_t (&values)[5]) {
  std::fill_n(values, 5, 0);
  if (irisKind == 0) std::copy_n(set.small, 5, values);
  if (irisKind == 1) std::copy_n(set.big, 5, values);
  if (irisKind == 2) std::copy_n(set.q5, 3, values);
}

}  // namespace ocuvant::session
