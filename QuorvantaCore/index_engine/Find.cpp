// Substring search over the flat name store (the block search itself is in FindBlocks.h): its
// builds in plain C++, with SSE2, and on x86-64 with the popcount instruction, and the choice
// among these and the AVX2 builds (FindAvx2.cpp) of the one the processor runs best.
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "platform/thread/Relaxed.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "QuorvantaCore/index_engine/FindBlocks.h"

namespace quorvanta::index_engine {
namespace {

// Reads block[0 .. 63 + lastAt].
struct ScalarBlocks {
    static Masks masks(const uint8_t* block, const Probe& p) { return boundedMasks(block, 64 + uint64_t(p.lastAt), p); }
};

#if defined(__SSE2__)
struct Sse2Blocks {
    [[gnu::always_inline]] static Masks masks(const uint8_t* block, const Probe& p) {
        const Masks m0 = masks16(block, p), m1 = masks16(block + 16, p);
        const Masks m2 = masks16(block + 32, p), m3 = masks16(block + 48, p);
        return Masks{m0.candidates | m1.candidates << 16 | m2.candidates << 32 | m3.candidates << 48,
                     m0.ends | m1.ends << 16 | m2.ends << 32 | m3.ends << 48};
    }

    // The masks of 16 positions, in the low 16 bits.
    [[gnu::always_inline]] static Masks masks16(const uint8_t* block, const Probe& p) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + p.secondAt));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + p.lastAt));
        const __m128i hit = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(static_cast<char>(p.first))),
                                                        _mm_cmpeq_epi8(s, _mm_set1_epi8(static_cast<char>(p.second)))),
                                          _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(p.last))));
        return Masks{static_cast<uint32_t>(_mm_movemask_epi8(hit)),
                     static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_setzero_si128())))};
    }
};
#endif

using FindFn = uint32_t (*)(const fidx*, const uint8_t*, const uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t,
                            uint32_t*, const std::atomic<uint32_t>*);

FindFn bestFind() {
#if defined(__x86_64__) && defined(__SSE2__)
    if (hasAvx2()) return findAvx2;
    if (hasPopcnt()) return findSse2Popcnt;
    return findSse2;
#elif defined(__SSE2__)
    return findSse2;
#else
    return findScalar;
#endif
}

}  // namespace

uint32_t findScalar(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                    uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel) {
    return find<ScalarBlocks>(h, store, needle, len, lo, hi, skip, out, cancel);
}

#if defined(__SSE2__)
uint32_t findSse2(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                  uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel) {
    return find<Sse2Blocks>(h, store, needle, len, lo, hi, skip, out, cancel);
}
#endif

#if defined(__x86_64__) && defined(__SSE2__)
// The search counts entries with popcount: one instruction where the processor has it, a call
// into the compiler's runtime otherwise.
[[gnu::target("popcnt")]] uint32_t findSse2Popcnt(const fidx* h, const uint8_t* store, const uint8_t* needle,
                                                  uint32_t len, uint32_t lo, uint32_t hi, uint8_t skip, uint32_t* out,
                                                  const std::atomic<uint32_t>* cancel) {
    return find<Sse2Blocks>(h, store, needle, len, lo, hi, skip, out, cancel);
}

bool hasPopcnt() {
    static const bool yes = __builtin_cpu_supports("popcnt");
    return yes;
}

bool hasAvx2() {
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return yes;
}
#endif

}  // namespace quorvanta::index_engine

uint32_t fidx_find(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                   uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel) {
    static const quorvanta::index_engine::FindFn best = quorvanta::index_engine::bestFind();
    return best(h, store, needle, len, lo, hi, skip, out, cancel);
}
