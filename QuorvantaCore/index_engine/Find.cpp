// Substring search over the flat name store: the entry range's names are one contiguous block
// of bytes, scanned 16 positions at a time by comparing the needle's first and last bytes,
// with a full compare only for candidates. Every name ends in a NUL and the needle holds none,
// so a match never spans two names.
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "platform/thread/Relaxed.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvanta::index_engine {
namespace {

constexpr uint64_t kCancelStride = 1 << 20;  // the cancel flag is read about once per MiB
constexpr uint32_t kLinearSteps = 8;         // entries walked one by one before a binary search

// Bit i set where block[i] == first and block[i + len - 1] == last, for i in 0..15.
struct ScalarBlocks {
    static uint32_t candidates(const uint8_t* block, uint32_t len, uint8_t first, uint8_t last) {
        uint32_t mask = 0;
        for (uint32_t i = 0; i < 16; ++i) mask |= uint32_t(block[i] == first && block[i + len - 1] == last) << i;
        return mask;
    }
};

#if defined(__SSE2__)
struct Sse2Blocks {
    static uint32_t candidates(const uint8_t* block, uint32_t len, uint8_t first, uint8_t last) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + len - 1));
        const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(static_cast<char>(first))),
                                          _mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(last))));
        return static_cast<uint32_t>(_mm_movemask_epi8(hit));
    }
};
#endif

// The search state: the region, the forward entry cursor and the output.
struct Search {
    const fidx* h;
    const uint8_t* region;  // the store at name_off[lo]
    uint32_t regionOff;     // name_off[lo]
    uint32_t hi;
    uint8_t skip;
    uint32_t* out;
    uint32_t found = 0;
    uint32_t cursor;  // the entry holding the last position looked up

    // Reports the entry holding region position p; gives the position after that entry's name,
    // where the search goes on (each entry is reported once).
    uint64_t report(uint64_t p) {
        const uint32_t* off = h->name_off;
        const uint64_t at = regionOff + p;
        uint32_t steps = 0;
        while (off[cursor + 1] <= at && steps++ < kLinearSteps) ++cursor;
        if (off[cursor + 1] <= at) {              // far ahead: binary search among the remaining entries
            uint32_t a = cursor + 1, b = hi - 1;  // the entry is in [a, b]
            while (a < b) {
                const uint32_t mid = a + (b - a + 1) / 2;
                if (off[mid] <= at)
                    a = mid;
                else
                    b = mid - 1;
            }
            cursor = a;
        }
        if (!(platform::relaxed(h->flags[cursor]) & skip)) out[found++] = cursor;
        return off[cursor + 1] - regionOff;
    }
};

template <class Blocks>
uint32_t find(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
              uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel) {
    hi = std::min(hi, fidx_count(h));
    if (len == 0 || lo >= hi) return 0;
    Search s{h, store + h->name_off[lo], h->name_off[lo], hi, skip, out, 0, lo};
    const uint64_t size = h->name_off[hi] - h->name_off[lo];
    if (size < len) return 0;
    const uint64_t lastStart = size - len;
    const uint8_t first = needle[0], last = needle[len - 1];
    uint64_t pos = 0;
    uint64_t nextCancelCheck = 0;

    // Fast pass, while both 16-byte reads stay inside the region.
    while (pos <= lastStart && pos + len + 14 < size) {
        if (cancel && pos >= nextCancelCheck) {
            if (cancel->load(std::memory_order_relaxed)) return s.found;
            nextCancelCheck = (pos / kCancelStride + 1) * kCancelStride;
        }
        uint32_t mask = Blocks::candidates(s.region + pos, len, first, last);
        uint64_t next = pos + 16;
        while (mask) {
            const uint64_t p = pos + __builtin_ctz(mask);
            mask &= mask - 1;
            if (p > lastStart) break;
            if (len >= 3 && std::memcmp(s.region + p + 1, needle + 1, len - 2) != 0) continue;
            next = s.report(p);
            if (next >= pos + 16) break;
            mask &= ~((1u << (next - pos)) - 1);  // candidates inside the reported name
            next = pos + 16;
        }
        pos = next;
    }
    // Slow pass over the tail.
    while (pos <= lastStart) {
        if (s.region[pos] == first && std::memcmp(s.region + pos, needle, len) == 0)
            pos = s.report(pos);
        else
            ++pos;
    }
    return s.found;
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

}  // namespace quorvanta::index_engine

uint32_t fidx_find(const fidx* h, const uint8_t* store, const uint8_t* needle, uint32_t len, uint32_t lo, uint32_t hi,
                   uint8_t skip, uint32_t* out, const std::atomic<uint32_t>* cancel) {
#if defined(__SSE2__)
    return quorvanta::index_engine::findSse2(h, store, needle, len, lo, hi, skip, out, cancel);
#else
    return quorvanta::index_engine::findScalar(h, store, needle, len, lo, hi, skip, out, cancel);
#endif
}
