// An in-memory VolumeIndex built from a list of entries through the engine's append API, so that
// search tests need no file system. Entry i of the list becomes entry i of the index: a parent
// must come before its children. An entry without a parent becomes a root (folder + root flags
// added); the others are appended under their parent, consecutive entries of one parent in one
// batch. The deleted flag is applied after the appends (appending drops it); the non-ASCII flag
// is the engine's own.
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <cstdint>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvanta::core::test {

struct IndexEntry {
    std::string name;
    std::uint32_t parent = FIDX_NONE;
    std::uint8_t flags = 0;
    std::uint64_t size = 0;
    std::uint32_t mtime = 0;
};

// Appends the entries to an existing index (their parents index the whole index: already there,
// or earlier in the list at count() + position).
inline void appendEntries(VolumeIndex& index, const std::vector<IndexEntry>& entries) {
    fidx* h = index.s();
    const std::uint32_t base = fidx_count(h);
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t end = i + 1;
        while (end < entries.size() && entries[end].parent == entries[i].parent && entries[i].parent != FIDX_NONE)
            ++end;
        fidx_listing batch{};
        for (std::size_t j = i; j < end; ++j) {
            const IndexEntry& e = entries[j];
            const std::uint8_t flags = e.parent == FIDX_NONE ? e.flags | FIDX_FOLDER | FIDX_ROOT : e.flags;
            index_engine::addRecord(batch, e.name.data(), e.name.size(), e.size, e.mtime, 0,
                                    flags & ~(FIDX_NON_ASCII | FIDX_DELETED));
        }
        std::uint32_t first;
        if (entries[i].parent == FIDX_NONE) {
            first = index_engine::commit(h, batch, FIDX_NONE);
        } else {
            std::vector<std::uint32_t> idx(end - i);
            std::iota(idx.begin(), idx.end(), 0u);
            first = fidx_append(h, entries[i].parent, &batch, idx.data(), static_cast<std::uint32_t>(idx.size()));
        }
        fidx_listing_free(&batch);
        if (first != base + i)
            throw std::runtime_error("appendEntries: entry " + std::to_string(base + i) + " refused");
        i = end;
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].flags & FIDX_DELETED) fidx_set_deleted(h, base + static_cast<std::uint32_t>(i));
}

inline std::shared_ptr<VolumeIndex> buildIndex(const std::vector<IndexEntry>& entries,
                                               std::uint32_t maxEntries = 1u << 20,
                                               std::uint64_t maxNameBytes = 64u << 20) {
    auto index = VolumeIndex::create(maxEntries, maxNameBytes, {});
    appendEntries(*index, entries);
    return index;
}

}  // namespace quorvanta::core::test
