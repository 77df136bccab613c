// Helpers shared by the engine's tests: an owning handle, committing names through the batch
// API, reading entries back, and a small fold hook standing in for the system's folding.
#pragma once

#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::index_engine::test {

struct FidxDeleter {
    void operator()(fidx* h) const { fidx_free(h); }
};
using Index = std::unique_ptr<fidx, FidxDeleter>;

inline Index newIndex(uint32_t maxEntries = 1u << 20, uint64_t maxNameBytes = 64u << 20) {
    return Index(fidx_new(maxEntries, maxNameBytes));
}

struct BatchOwner {
    fidx_listing b{};
    ~BatchOwner() { fidx_listing_free(&b); }
};

// Commits one batch holding `names` (all with `flags`) under `parent`; gives the first entry.
inline uint32_t commitNames(fidx* h, const std::vector<std::string>& names, uint32_t parent = FIDX_NONE,
                            uint8_t flags = 0) {
    BatchOwner batch;
    for (const std::string& n : names) addRecord(batch.b, n.data(), n.size(), 0, 0, 0, flags);
    return commit(h, batch.b, parent);
}

inline std::string nameOf(const fidx* h, uint32_t e) {
    return reinterpret_cast<const char*>(h->names + h->name_off[e]);
}
inline std::string foldedOf(const fidx* h, uint32_t e) {
    return std::string(reinterpret_cast<const char*>(h->folded + h->name_off[e]),
                       h->name_off[e + 1] - h->name_off[e] - 1);
}
inline std::string extOf(const fidx* h, uint32_t e) { return h->ext[e] ? h->ext_names[h->ext[e]] : ""; }

// Test fold: ASCII lowered; the two-byte UTF-8 letters U+00C0..U+00FF folded to their base
// letter (so the result is shorter and padded with 0x01); other bytes copied. Counts its calls.
inline std::atomic<int> testFoldCalls{0};
inline void testFold(const uint8_t* name, size_t len, uint8_t* out) {
    testFoldCalls.fetch_add(1, std::memory_order_relaxed);
    static const char base[] = "aaaaaaaceeeeiiiidnooooo*ouuuuyts";  // U+00C0..U+00DF / U+00E0..U+00FF
    size_t o = 0;
    for (size_t i = 0; i < len; ++i) {
        const uint8_t c = name[i];
        if (c == 0xC3 && i + 1 < len && name[i + 1] >= 0x80 && name[i + 1] <= 0xBF) {
            out[o++] = static_cast<uint8_t>(base[(name[i + 1] - 0x80) & 0x1F]);
            ++i;
        } else {
            out[o++] = c >= 'A' && c <= 'Z' ? c + 32 : c;
        }
    }
    while (o < len) out[o++] = 0x01;
}

// Installs the test fold for the life of the object.
struct WithTestFold {
    WithTestFold() { fidx_set_fold(testFold); }
    ~WithTestFold() { fidx_set_fold(nullptr); }
};

}  // namespace quorvanta::index_engine::test
