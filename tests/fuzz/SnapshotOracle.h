// What the snapshot fuzz harness checks for one file: it loads or is refused, and a loaded index
// can be walked whole (every name, every parent chain to its root, every extension) and searched
// over its whole range without reading outside its arrays; in a loaded index an entry has no
// parent exactly when it carries the root flag (both directions). Shared with the unit tests'
// seeded corruptions.
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quorvanta::test {

inline constexpr uint32_t kOracleMaxEntries = 1u << 20;
inline constexpr uint64_t kOracleMaxNameBytes = 64u << 20;

// "" when the file is refused or loads soundly, else what went wrong.
inline std::string snapshotProblem(const char* path) {
    fidx_header_block block{};
    fidx* h = fidx_load(path, kOracleMaxEntries, kOracleMaxNameBytes, &block);
    if (!h) return "";
    std::string problem;
    const uint32_t count = fidx_count(h);
    const uint32_t extCount = h->ext_count.load();
    uint64_t bytes = 0;
    for (uint32_t i = 0; i < count && problem.empty(); ++i) {
        const uint32_t start = h->name_off[i], end = h->name_off[i + 1];
        for (uint32_t b = start; b < end; ++b) bytes += h->names[b] + h->folded[b];
        const bool root = (h->flags[i] & FIDX_ROOT) != 0;
        if (root && h->parent[i] != FIDX_NONE) problem = "root flag on " + std::to_string(i) + ", which has a parent";
        if (!root && h->parent[i] == FIDX_NONE) problem = "no parent for " + std::to_string(i) + ", not a root";
        uint32_t e = i, steps = 0;
        while (h->parent[e] != FIDX_NONE && steps++ <= count) e = h->parent[e];
        if (steps > count) problem = "parent chain of " + std::to_string(i) + " does not end";
        if (h->ext[i] >= extCount)
            problem = "extension id past the table";
        else
            bytes += std::strlen(h->ext_names[h->ext[i]]);
    }
    for (uint32_t key = 0; key < FIDX_SORT_KEYS && problem.empty(); ++key)
        if (block.n[key] > block.k[key] || block.k[key] > count) problem = "permutation counts";
    if (problem.empty()) {
        std::vector<uint32_t> out(count);
        const uint8_t needle[] = {'a'};
        for (const uint8_t* store : {h->names, h->folded}) {
            const uint32_t found = fidx_find(h, store, needle, 1, 0, count, 0, out.data(), nullptr);
            for (uint32_t j = 1; j < found; ++j)
                if (out[j] <= out[j - 1]) problem = "search results not ascending";
        }
    }
    fidx_free(h);
    __asm__ volatile("" : : "r"(bytes));  // keeps the walk's reads
    return problem;
}

}  // namespace quorvanta::test
