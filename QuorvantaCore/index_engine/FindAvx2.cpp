// fidx_find's build for processors with AVX2: the masks of 64 positions from 32-byte loads and
// compares, half as many as SSE2 needs. Only this file's own code is compiled for AVX2 (and
// the popcount instruction): the selection comes after every include but the block search's
// (FindBlocks.h), and none of it is called unless the processor has both.
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "platform/thread/Relaxed.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif

#include "QuorvantaCore/index_engine/FindBlocks.h"

namespace quorvanta::index_engine {
namespace {

// Reads block[0 .. 63 + lastAt].
struct Avx2Blocks {
    [[gnu::always_inline]] static Masks masks(const uint8_t* block, const Probe& p) {
        const __m256i first = _mm256_set1_epi8(static_cast<char>(p.first));
        const __m256i second = _mm256_set1_epi8(static_cast<char>(p.second));
        const __m256i last = _mm256_set1_epi8(static_cast<char>(p.last));
        const __m256i zero = _mm256_setzero_si256();
        const __m256i a0 = load(block), a1 = load(block + 32);
        const __m256i hit0 = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(a0, first), _mm256_cmpeq_epi8(load(block + p.secondAt), second)),
            _mm256_cmpeq_epi8(load(block + p.lastAt), last));
        const __m256i hit1 = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(a1, first), _mm256_cmpeq_epi8(load(block + 32 + p.secondAt), second)),
            _mm256_cmpeq_epi8(load(block + 32 + p.lastAt), last));
        return Masks{bits(hit0) | bits(hit1) << 32,
                     bits(_mm256_cmpeq_epi8(a0, zero)) | bits(_mm256_cmpeq_epi8(a1, zero)) << 32};
    }

    [[gnu::always_inline]] static __m256i load(const uint8_t* at) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    }

    // One bit per byte of v, from its top bit.
    [[gnu::always_inline]] static uint64_t bits(__m256i v) {
        return uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(v))};
    }
};

}  // namespace

uint32_t findAvx2(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                  uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel) {
    return find<Avx2Blocks>(h, store, needle, len, lo, hi, skip, out, cancel);
}

}  // namespace quorvanta::index_engine

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
