// Template comparison, matching against a database and the choice of the template
// to enroll, shared by the three engines with per-kind parameters.
//
// Usage from an engine module (each engine keeps its own MatcherState):
//
//   namespace { MatcherState g_matcher; }  // part of the engine's module state
//   int32_t MatchTemplate(const uint8_t* db, const uint8_t* probe, int32_t n, float* score) {
//     return engine::MatchTemplate(g_matcher, kBigMatch, db, probe, n, score);
//   }
//   int32_t BuildEnrollTemplate(const uint8_t* t1, ..., int32_t* score) {
//     return engine::BuildEnrollTemplate(g_matcher, kBigMatch, t1, t2, t3, score);
//   }
//
// Nothing here allocates, throws or does I/O. A MatcherState must not be used by two
// threads at once.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "engine/common/engine_types.h"

namespace ocuvant::engine {

// ---- Bit counting -----------------------------------------------------------------------

// Entry v = number of set bits of v. Built at compile time; an engine that wants its own
// table writes e.g. `inline constexpr auto BitCount16 = MakeBitCountTable<16>();` in its
// namespace. The matcher counts with the processor's population count, which gives the
// same numbers (the tests check it against these tables).
template <int Bits>
constexpr std::array<uint8_t, (size_t{1} << Bits)> MakeBitCountTable() {
  std::array<uint8_t, (size_t{1} << Bits)> table{};
  for (size_t v = 1; v < table.size(); ++v)
    table[v] = static_cast<uint8_t>(table[v >> 1] + (v & 1));
  return table;
}
inline constexpr std::array<uint8_t, 256> BitCount8 = MakeBitCountTable<8>();

// ---- Parameters per kind ----------------------------------------------------------------

enum class EnrollRule : int32_t {
  WorstPair,             // Big, Q5
  ClosestPairThenWorst,  // Small: closest pair if close enough, else the worst-pair rule
};

struct MatchParams {
  uint32_t minCommonBits;  // Nmin: fewer common mask bits give no score
  float normaliser;        // k (single precision): s = 0.5 - (0.5 - h) * sqrt(N * k)
  double thetaBase;        // MatchTemplate threshold: thetaBase - 0.01 * log10(n)
  EnrollRule rule;
  double closestPairMax;  // Small: closest pair accepted when its distance <= this
  double worstPairMax;    // enrollment fails when the worst pair is > this (exact value held)
};

// Big and Small hold the selection threshold 0.167 as a float; Q5 holds 0.2 as a double
// (so a worst pair of 0.2f, slightly above 0.2, fails for Q5).
inline constexpr MatchParams kSmallMatchParams{
    512, 1.0f / 918.0f, 0.303, EnrollRule::ClosestPairThenWorst, 0.08, static_cast<double>(0.167f)};
inline constexpr MatchParams kBigMatchParams{
    512, 1.0f / 918.0f, 0.303, EnrollRule::WorstPair, 0.0, static_cast<double>(0.167f)};
inline constexpr MatchParams kQ5MatchParams{400, 1.0f / 911.0f, 0.333, EnrollRule::WorstPair, 0.0,
                                            0.2};

// ---- State ------------------------------------------------------------------------------

inline constexpr int kShiftMin = -6;
inline constexpr int kShiftCount = 13;  // shifts -6 .. +6, in that order
inline constexpr int kMaxCommonBits = 2048;

// The best pair of the last MatchTemplate or pairwise compare.
struct BestMatch {
  int32_t index = -1;          // database index, -1 when no pair qualified
  float score = 1.0f;          // s of the best pair, 1.0 when none qualified
  float distance = 1.0f;       // h = D / N as a float
  uint32_t commonBits = 0;     // N
  uint32_t differingBits = 0;  // D
  int32_t shift = 0;           // d in -6 .. +6
};

// Per-engine matcher state: the 13 rotated probe copies of the last comparison, the best
// match found, and sqrt(N * k) per N in extended precision (filled on first use for the
// engine's k; InitMatcher fills it up front).
struct MatcherState {
  alignas(64) uint8_t rotated[kShiftCount][kTemplateBytes];
  BestMatch best;
  float rootNormaliser = 0.0f;  // k the root table was built for; 0 = not built
  long double root[kMaxCommonBits + 1];
  // sqrt(N * k) in double, for the quick test that skips scores which cannot win.
  double rootApprox[kMaxCommonBits + 1];
};

// Fills the root table for the engine's k (call from InitEngine; also done lazily).
void InitMatcher(MatcherState& state, const MatchParams& params);

// ---- Operations -------------------------------------------------------------------------

// Copy d (index d + 6) byte j of each plane = probe byte (j + d) mod 128 of the same plane.
void RotateProbe(MatcherState& state, const uint8_t* probe);

// Common and differing bit counts of stored template a against probe copy b.
struct BitCounts {
  uint32_t common = 0;     // N = popcount(maskA & maskB)
  uint32_t differing = 0;  // D = popcount((codeA ^ codeB) & maskA & maskB)
};
BitCounts CountBits(const uint8_t* a, const uint8_t* b);

// s from N and D: false (no score) when N < Nmin; else h = D/N as a float and
// s = 0.5 - (0.5 - h) * sqrt(N * k) in extended precision, stored as a float.
bool ScoreFromCounts(const MatcherState& state, const MatchParams& params, BitCounts counts,
                     float* score);

// Quick test before the exact score: false only when s(N, D) is surely >= best. With the
// double value a = 0.5 - (0.5 - D/N) * sqrt(N k): the float h differs from D/N by at most
// 2^-25 (h <= 1), the root is at most 1.5 and the float s (|s| <= 1.25) is within 2^-24 of
// its extended value, so |s - a| < 1.1e-7; a >= best + kMayBeatMargin then proves s > best.
// `limit` = 0.5 - (best + kMayBeatMargin); the test is a < best + margin multiplied by N:
// (N/2 - D) * sqrt(N k) > limit * N.
inline constexpr double kMayBeatMargin = 1e-6;
inline bool MayBeatLimit(const MatcherState& state, BitCounts counts, double limit) {
  if (counts.common > kMaxCommonBits) return true;  // ScoreFromCounts rejects it
  const double n = counts.common;
  return (0.5 * n - counts.differing) * state.rootApprox[counts.common] > limit * n;
}

// s of stored template a against probe b without rotation (slow path; for tests and tools).
bool CompareScore(MatcherState& state, const MatchParams& params, const uint8_t* a,
                  const uint8_t* b, float* score);

// theta for a database of n templates: thetaBase - 0.01 * log10(n) in extended precision,
// n as unsigned 32 bits, stored as a float (n = 0 gives +infinity; MatchTemplate still
// returns -1 then since no template can match).
float MatchThreshold(const MatchParams& params, uint32_t n);

// Best s over templates begin..end-1 of the database against the probe copies already in
// state.rotated, into `best` (which the caller resets): the scan MatchTemplate runs, on one
// range. Reads `state` only, so several threads may scan ranges of one state at once.
void ScanRange(const MatcherState& state, const MatchParams& params, const uint8_t* database,
               int32_t begin, int32_t end, BestMatch& best);

// Best s over templates 0..n-1 and shifts -6..+6 (strictly smaller wins: ties keep the lowest
// index, then the shift nearest -6). *score = best s, or 1.0 when no pair had Nmin common
// bits. Returns the best index if best < theta(n) (strictly), else -1; n <= 0 gives -1 and
// 1.0. The best record is left in state.best. Large databases are split over the match
// runner's threads (match_runner.h) with the same result.
int32_t MatchTemplate(MatcherState& state, const MatchParams& params, const uint8_t* database,
                      const uint8_t* probe, int32_t n, float* score);

// Best s of stored a against probe b over the 13 shifts of b; 1.0 when none qualifies.
float PairwiseCompare(MatcherState& state, const MatchParams& params, const uint8_t* a,
                      const uint8_t* b);

// The enrollment choice from the three pairwise distances: 1, 2, 3 (the template to keep)
// or -1; *score = trunc(min(100, max(0, 100 - 200 * w))) in extended precision.
int32_t ChooseEnrollTemplate(const MatchParams& params, float d12, float d13, float d23,
                             int32_t* score);

// d12 = compare(t1, t2), d13 = compare(t1, t3), d23 = compare(t2, t3) (first stored, second
// rotated), then ChooseEnrollTemplate.
int32_t BuildEnrollTemplate(MatcherState& state, const MatchParams& params, const uint8_t* t1,
                            const uint8_t* t2, const uint8_t* t3, int32_t* score);

// Texture threshold from the user's Texture setting: trunc(factor * sqrt(T / (100 - T)) + 0.5)
// in extended precision, T unsigned (factor 2 for Small and Big, 16 for Q5). T of 100 or more
// (undefined by the formula) is treated as 99, the strictest defined setting.
int32_t TextureThreshold(uint32_t texture, int32_t factor);

}  // namespace ocuvant::engine
