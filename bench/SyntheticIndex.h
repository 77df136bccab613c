// Synthetic entries for the snapshot benchmarks, committed straight through the engine's batch
// API: a root "/data", then folders of 50 files named like "track 1234567.mp3" with sizes and
// times, until the handle holds `entries` entries.
#pragma once

#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <cstdint>
#include <string>

namespace quorvanta::bench {

inline void fillSyntheticEntries(fidx* h, uint32_t entries) {
    using namespace quorvanta::index_engine;
    fidx_listing batch{};
    const char* words[] = {"Report", "holiday", "IMG", "track", "invoice", "draft", "backup", "notes"};
    const char* exts[] = {"pdf", "jpg", "mp3", "txt", "docx", "png"};
    addRecord(batch, "/data", 5, 0, 0, 0, FIDX_FOLDER | FIDX_ROOT);
    commit(h, batch, FIDX_NONE);
    for (uint32_t folder = 0; fidx_count(h) < entries; ++folder) {
        resetBatch(batch);
        const std::string dir = "folder " + std::to_string(folder);
        addRecord(batch, dir.data(), dir.size(), 0, folder, folder, FIDX_FOLDER);
        const uint32_t first = commit(h, batch, 0);
        resetBatch(batch);
        for (uint32_t i = 0; i < 50; ++i) {
            const uint32_t n = folder * 50 + i;
            const std::string name = std::string(words[n % 8]) + " " + std::to_string(n) + "." + exts[n % 6];
            addRecord(batch, name.data(), name.size(), n * 1000ull, n, n, 0);
        }
        commit(h, batch, first);
    }
    fidx_listing_free(&batch);
}

}  // namespace quorvanta::bench
