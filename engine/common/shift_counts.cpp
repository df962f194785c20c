// Population counts over the mask and code planes for the 13 shifts of the probe.
// The AVX-512 population-count version is chosen once at run time when the processor
// has it; every version returns the same counts.
#include "engine/common/shift_counts.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define OCUVANT_X86_VECTOR 1
#endif

namespace ocuvant::engine {

void CountShiftsPortable(const uint8_t* stored,
                         const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                         BitCounts (&counts)[kShiftCount]) {
  for (int c = 0; c < kShiftCount; ++c) counts[c] = CountBits(stored, rotated[c]);
}

namespace {

#ifdef OCUVANT_X86_VECTOR
__attribute__((target("popcnt"))) void CountShiftsPopcnt(
    const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
    BitCounts (&counts)[kShiftCount]) {
  uint64_t ma[32], ca[32];
  std::memcpy(ma, stored, sizeof ma);
  std::memcpy(ca, stored + 2 * kPlaneBytes, sizeof ca);
  for (int c = 0; c < kShiftCount; ++c) {
    uint64_t mb[32], cb[32];
    std::memcpy(mb, rotated[c], sizeof mb);
    std::memcpy(cb, rotated[c] + 2 * kPlaneBytes, sizeof cb);
    uint64_t n = 0, d = 0;
    for (int w = 0; w < 32; ++w) {
      const uint64_t m = ma[w] & mb[w];
      n += static_cast<uint64_t>(__builtin_popcountll(m));
      d += static_cast<uint64_t>(__builtin_popcountll((ca[w] ^ cb[w]) & m));
    }
    counts[c] = {static_cast<uint32_t>(n), static_cast<uint32_t>(d)};
  }
}

__attribute__((target("avx512f,avx512vpopcntdq"))) void CountShiftsAvx512(
    const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
    BitCounts (&counts)[kShiftCount]) {
  __m512i ma[4], ca[4];
  for (int k = 0; k < 4; ++k) {
    ma[k] = _mm512_loadu_si512(stored + 64 * k);
    ca[k] = _mm512_loadu_si512(stored + 2 * kPlaneBytes + 64 * k);
  }
  for (int c = 0; c < kShiftCount; ++c) {
    const uint8_t* b = rotated[c];
    __m512i n = _mm512_setzero_si512();
    __m512i d = _mm512_setzero_si512();
    for (int k = 0; k < 4; ++k) {
      const __m512i m = _mm512_and_si512(ma[k], _mm512_load_si512(b + 64 * k));
      const __m512i x = _mm512_and_si512(
          _mm512_xor_si512(ca[k], _mm512_load_si512(b + 2 * kPlaneBytes + 64 * k)), m);
      n = _mm512_add_epi64(n, _mm512_popcnt_epi64(m));
      d = _mm512_add_epi64(d, _mm512_popcnt_epi64(x));
    }
    // (Lane sums are added in scalar code: GCC 12 warns falsely inside the reduce and
    // shift intrinsics.)
    alignas(64) uint64_t lanesN[8], lanesD[8];
    _mm512_store_si512(lanesN, n);
    _mm512_store_si512(lanesD, d);
    uint64_t sumN = 0, sumD = 0;
    for (int l = 0; l < 8; ++l) {
      sumN += lanesN[l];
      sumD += lanesD[l];
    }
    counts[c] = {static_cast<uint32_t>(sumN), static_cast<uint32_t>(sumD)};
  }
}
#endif

using CountFn = void (*)(const uint8_t*, const uint8_t (&)[kShiftCount][kTemplateBytes],
                         BitCounts (&)[kShiftCount]);

CountFn ChooseCountShifts() {
#ifdef OCUVANT_X86_VECTOR
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq"))
    return CountShiftsAvx512;
  if (__builtin_cpu_supports("popcnt")) return CountShiftsPopcnt;
#endif
  return CountShiftsPortable;
}

}  // namespace

void CountShifts(const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                 BitCounts (&counts)[kShiftCount]) {
  static const CountFn fn = ChooseCountShifts();
  fn(stored, rotated, counts);
}

}  // namespace ocuvant::engine
