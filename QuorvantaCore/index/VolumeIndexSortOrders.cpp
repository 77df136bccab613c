// The sort-order members of VolumeIndex: the permutations of its SortOrderCache, none usable
// while a scan runs, and ordering hits.
#include "QuorvantaCore/index/VolumeIndex.h"

#include <algorithm>
#include <utility>

namespace quorvanta::core {

std::pair<PermRef, std::uint32_t> VolumeIndex::rebuildPermutation(SortKey key) { return orders_.rebuild(key); }

std::optional<PermEntry> VolumeIndex::usablePerm(SortKey key) const {
    if (isScanning()) return std::nullopt;
    return orders_.usable(key);
}

PermRef VolumeIndex::cachedPermutation(SortKey key) const {
    if (isScanning()) return nullptr;
    return orders_.fresh(key);
}

PermRef VolumeIndex::permutation(SortKey key) { return permutationAndCount(key).first; }

std::pair<PermRef, std::uint32_t> VolumeIndex::permutationAndCount(SortKey key) {
    std::optional<std::pair<PermRef, std::uint32_t>> usable;
    if (!isScanning()) usable = orders_.usablePermutation(key);
    return usable ? *std::move(usable) : orders_.rebuild(key);
}

std::vector<SortKey> VolumeIndex::staleKeys() const {
    if (isScanning()) return {allSortKeys.begin(), allSortKeys.end()};
    return orders_.staleKeys();
}

void VolumeIndex::markMoved(SortKey key, std::span<const std::uint32_t> ids) { orders_.markMoved(key, ids); }

std::vector<std::uint64_t> VolumeIndex::hitBitset(std::span<const std::uint32_t> hits) const {
    const std::uint32_t n = count();
    std::vector<std::uint64_t> bits(n / 64 + 1);
    for (const std::uint32_t id : hits)
        if (id < n) bits[id >> 6] |= std::uint64_t(1) << (id & 63);
    return bits;
}

std::optional<std::vector<std::uint32_t>> VolumeIndex::ordered(std::span<const std::uint32_t> hits, SortKey key,
                                                               bool descending, std::size_t limit,
                                                               std::size_t directSortLimit) const {
    const std::uint32_t n = count();
    const auto valid =
        static_cast<std::size_t>(std::count_if(hits.begin(), hits.end(), [n](std::uint32_t id) { return id < n; }));
    const std::optional<PermEntry> entry = usablePerm(key);
    if (!entry) {
        if (valid > directSortLimit) return std::nullopt;
        return sortorder::sortedHits(s(), key, hits, n, descending, limit);
    }
    // Every key is a total order, so sorting the hits gives the walk's answer; it is the
    // cheaper way for few hits, whose walk would cover much of the permutation before it has
    // `limit` of them. A hit costs about as much to sort as 64 steps of the walk (path: 512).
    const std::size_t steps = valid == 0 ? 0 : entry->count / valid * std::min(limit, valid);
    const std::size_t hitCost = key == SortKey::path ? 512 : 64;
    if (valid * hitCost < steps) return sortorder::sortedHits(s(), key, hits, n, descending, limit);
    return sortorder::orderedBy(s(), key, *entry, hits, n, descending, limit);
}

bool VolumeIndex::less(std::uint32_t i, const VolumeIndex& other, std::uint32_t j, SortKey key) const {
    return sortorder::lessAcross(s(), i, other.s(), j, key);
}

void VolumeIndex::setBuildHookForTesting(SortOrderCache::BuildHook hook) { orders_.setBuildHook(std::move(hook)); }

}  // namespace quorvanta::core
