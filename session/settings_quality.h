// Quality thresholds per template kind, stored by the control and handed to the
// engines when the iris camera opens.
#pragma once

#include <cstdint>

namespace ocuvant::session {

// Small and Big: Texture, VisualDegree, Gaze, Focus, Movement; Q5: the first three.
struct QualitySet {
  int32_t q5[3];
  int32_t big[5];
  int32_t small[5];
};

inline constexpr QualitySet kDefaultEnrollQuality = {
    {60, 35, 50}, {60, 35, 50, 60, 30}, {60, 35, 50, 60, 30}};
inline constexpr QualitySet kDefaultMatchQuality = {
    {50, 33, 50}, {50, 30, 50, 50, 30}, {50, 30, 50, 50, 30}};

// Stores the thresholds of kind 0 (Small), 1 (Big) or 2 (Q5, first three values);
// any other kind stores nothing.
void StoreQuality(QualitySet& set, int32_t irisKind, const int32_t (&values)[5]);

// The five values handed to the engine of `irisKind` (Q5: focus and movement 0).
void QualityForEngine(const QualitySet& set, int32_t irisKind, int32_t (&values)[5]);

}  // namespace ocuvant::session
