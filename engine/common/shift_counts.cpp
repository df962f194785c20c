// Population counts over the mask and code planes for the 13 shifts of the probe.
// The best version the processor has is chosen once at run time; every version returns
// the same counts (exact integer sums of the same bits).
#include "engine/common/shift_counts.h"

#include <atomic>
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

using CountFn = void (*)(const uint8_t*, const uint8_t (&)[kShiftCount][kTemplateBytes],
                         BitCounts (&)[kShiftCount]);

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

// Set bits per byte of v (0 .. 8): a 16-entry table looked up by each nibble.
__attribute__((target("avx2"))) inline __m256i ByteCounts(__m256i v, __m256i table,
                                                          __m256i lowNibbles) {
  const __m256i lo = _mm256_and_si256(v, lowNibbles);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), lowNibbles);
  return _mm256_add_epi8(_mm256_shuffle_epi8(table, lo), _mm256_shuffle_epi8(table, hi));
}

// Per shift, the 8 vectors of 32 bytes of each plane pair add at most 8 * 8 = 64 per byte,
// so the byte sums cannot overflow before vpsadbw widens them.
__attribute__((target("avx2"))) void CountShiftsAvx2(
    const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
    BitCounts (&counts)[kShiftCount]) {
  const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2,
                                         1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i lowNibbles = _mm256_set1_epi8(0x0f);
  const __m256i zero = _mm256_setzero_si256();
  const auto* a = reinterpret_cast<const __m256i*>(stored);
  for (int c = 0; c < kShiftCount; ++c) {
    const auto* b = reinterpret_cast<const __m256i*>(rotated[c]);
    __m256i n = zero, d = zero;
    for (int k = 0; k < 8; ++k) {
      const __m256i m = _mm256_and_si256(_mm256_loadu_si256(a + k), _mm256_load_si256(b + k));
      const __m256i x = _mm256_and_si256(
          _mm256_xor_si256(_mm256_loadu_si256(a + 8 + k), _mm256_load_si256(b + 8 + k)), m);
      n = _mm256_add_epi8(n, ByteCounts(m, table, lowNibbles));
      d = _mm256_add_epi8(d, ByteCounts(x, table, lowNibbles));
    }
    // Four 64-bit lane sums each (< 2048): N in the low and D in the high half of a lane.
    const __m256i lanes =
        _mm256_or_si256(_mm256_sad_epu8(n, zero), _mm256_slli_epi64(_mm256_sad_epu8(d, zero), 32));
    const __m128i half =
        _mm_add_epi64(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
    const uint64_t sum = static_cast<uint64_t>(_mm_cvtsi128_si64(half)) +
                         static_cast<uint64_t>(_mm_extract_epi64(half, 1));
    counts[c] = {static_cast<uint32_t>(sum), static_cast<uint32_t>(sum >> 32)};
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

bool Supports(CountPath path) {
  switch (path) {
    case CountPath::Portable:
      return true;
#ifdef OCUVANT_X86_VECTOR
    case CountPath::Popcnt:
      __builtin_cpu_init();
      return __builtin_cpu_supports("popcnt");
    case CountPath::Avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
    case CountPath::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
#endif
    default:
      return false;
  }
}

CountFn FunctionOf(CountPath path) {
  switch (path) {
#ifdef OCUVANT_X86_VECTOR
    case CountPath::Popcnt:
      return CountShiftsPopcnt;
    case CountPath::Avx2:
      return CountShiftsAvx2;
    case CountPath::Avx512:
      return CountShiftsAvx512;
#endif
    default:
      return CountShiftsPortable;
  }
}

CountPath BestPath() {
  for (CountPath p : {CountPath::Avx512, CountPath::Avx2, CountPath::Popcnt})
    if (Supports(p)) return p;
  return CountPath::Portable;
}

struct Active {
  std::atomic<CountFn> fn;
  std::atomic<CountPath> path;
};

Active& Current() {
  static Active active{FunctionOf(BestPath()), BestPath()};
  return active;
}

}  // namespace

const char* CountPathName(CountPath path) {
  switch (path) {
    case CountPath::Portable:
      return "portable";
    case CountPath::Popcnt:
      return "popcnt";
    case CountPath::Avx2:
      return "avx2";
    case CountPath::Avx512:
      return "avx512";
  }
  return "?";
}

bool CountPathAvailable(CountPath path) {
  return Supports(path);
}

CountPath ActiveCountPath() {
  return Current().path.load(std::memory_order_relaxed);
}

bool ForceCountPath(CountPath path) {
  if (!Supports(path)) return false;
  Current().fn.store(FunctionOf(path), std::memory_order_relaxed);
  Current().path.store(path, std::memory_order_relaxed);
  return true;
}

void ResetCountPath() {
  ForceCountPath(BestPath());
}

void CountShiftsWith(CountPath path, const uint8_t* stored,
                     const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                     BitCounts (&counts)[kShiftCount]) {
  FunctionOf(Supports(path) ? path : CountPath::Portable)(stored, rotated, counts);
}

void CountShifts(const uint8_t* stored, const uint8_t (&rotated)[kShiftCount][kTemplateBytes],
                 BitCounts (&counts)[kShiftCount]) {
  Current().fn.load(std::memory_order_relaxed)(stored, rotated, counts);
}

}  // namespace ocuvant::engine
