// Helpers shared by the VolumeIndex tests: synthetic entries committed through the engine's
// batch API, so that each case holds exactly the entries it needs.
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaCore/index_engine/EngineTestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::core::test {

inline constexpr uint8_t kRootFlags = FIDX_FOLDER | FIDX_ROOT;

struct Record {
    std::string name;
    uint64_t size = 0;
    uint32_t mtime = 0;
    uint32_t ctime = 0;
    uint8_t flags = 0;
};

// Commits the records as one folder's batch under `parent`; gives the first new entry.
inline uint32_t commitRecords(VolumeIndex& index, uint32_t parent, const std::vector<Record>& records) {
    index_engine::test::BatchOwner batch;
    for (const Record& r : records)
        index_engine::addRecord(batch.b, r.name.data(), r.name.size(), r.size, r.mtime, r.ctime, r.flags);
    return index_engine::commit(index.s(), batch.b, parent);
}

// "1,2,3": lists of ids compared in tables of cases.
template <class T>
std::string listed(const std::vector<T>& values) {
    std::string out;
    for (const T v : values) out += (out.empty() ? "" : ",") + std::to_string(v);
    return out;
}

}  // namespace quorvanta::core::test
