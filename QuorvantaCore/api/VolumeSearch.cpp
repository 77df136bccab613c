#include "QuorvantaCore/api/VolumeSearch.h"

#include "QuorvantaCore/api/IndexRow.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/search/Searcher.h"

#include <algorithm>

namespace quorvanta::core::LocalAPI {

std::vector<Volume> volumeStatuses(const std::vector<SearchVolume>& volumes) {
    std::vector<Volume> out;
    out.reserve(volumes.size());
    for (const SearchVolume& v : volumes) out.push_back({v.name, v.root, v.index->liveCount(), v.scanning, v.offline});
    return out;
}

SearchResult searchVolumes(const std::vector<SearchVolume>& volumes, const Query& query, std::int64_t limit) {
    SearchResult result;
    for (const SearchVolume& v : volumes) {
        if (v.offline) continue;
        Searcher searcher(v.index);
        const std::optional<std::vector<std::uint32_t>> hits = searcher.search(query, false);
        if (!hits) continue;
        result.total += static_cast<std::int64_t>(hits->size());
        const std::int64_t remaining = limit - static_cast<std::int64_t>(result.rows.size());
        if (remaining < 1) continue;
        const auto wanted = static_cast<std::size_t>(remaining);
        std::optional<std::vector<std::uint32_t>> chosen =
            v.index->ordered(*hits, SortKey::name, false, wanted, kDirectSortLimit);
        if (!chosen)
            chosen.emplace(hits->begin(), hits->begin() + static_cast<std::ptrdiff_t>(std::min(wanted, hits->size())));
        for (const std::uint32_t entry : *chosen) result.rows.push_back(indexRow(*v.index, entry));
    }
    return result;
}

}  // namespace quorvanta::core::LocalAPI
