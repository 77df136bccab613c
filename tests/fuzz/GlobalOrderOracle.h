// What the global order fuzz harness checks for one "global.ord" file, shared with the unit
// tests' seeded damage: the file is refused, or the order read from it keeps the reader's checks
// (1 to 63 volumes, no covered count above 2^32, no more rows than the counts add up to), and
// `matches`, `tail`, the rebuild rule and the walk in both directions run over the given volumes
// without reading outside the order, giving only hits and each at most once.
#pragma once

#include "QuorvantaApp/model/search/GlobalMerge.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaApp/model/search/GlobalRebuildRule.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace quorvanta::fuzz {

// "" when the file is refused or reads soundly, else what went wrong. `hits` holds one ascending
// list per index.
inline std::string globalOrderProblem(const std::filesystem::path& path, app::IndexList indexes,
                                      const std::vector<std::vector<std::uint32_t>>& hits) {
    const auto order = app::GlobalOrder::load(path);
    if (!order) return "";
    const std::size_t volumes = order->storeIDs().size();
    if (volumes < 1 || volumes > 63 || order->ks().size() != volumes) return "volume count";
    std::uint64_t covered = 0;
    for (const std::uint64_t k : order->ks()) {
        if (k > std::uint64_t(1) << 32) return "covered count past 2^32";
        covered += k;
    }
    if (order->withRows([](std::span<const app::RowKey> rows) { return rows.size(); }) > covered)
        return "more rows than covered entries";
    (void)order->matches(indexes);
    (void)order->tail(indexes);
    (void)app::needsGlobalRebuild(order.get(), indexes);
    std::set<app::RowKey> hitRows;
    for (std::uint32_t v = 0; v < hits.size(); ++v)
        for (const std::uint32_t e : hits[v]) hitRows.insert(app::rowKey(v, e));
    for (const bool desc : {false, true}) {
        const std::vector<app::RowKey> rows = app::mergeGlobal(*order, hits, indexes, desc);
        std::set<app::RowKey> seen;
        for (const app::RowKey row : rows) {
            if (!hitRows.contains(row)) return "a row that is not a hit";
            if (!seen.insert(row).second) return "a hit given twice";
        }
    }
    return "";
}

}  // namespace quorvanta::fuzz
