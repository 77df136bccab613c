// The sort-order members of VolumeIndex: the installed permutations under `lock_`, one build
// per key at a time, moves, and ordering hits.
#include "QuorvantaCore/index/VolumeIndex.h"

#include <algorithm>
#include <utility>

namespace quorvanta::core {

std::pair<PermRef, std::uint32_t> VolumeIndex::rebuildPermutation(SortKey key) {
    const std::size_t slot = static_cast<std::size_t>(key);
    std::unique_lock guard(lock_);
    while (building_.contains(key)) {
        // A build of this key runs: its result is this request's result. Only when it failed
        // (nothing installed) does this request build.
        const std::uint64_t seen = builds_[slot];
        if (buildHook_) buildHook_(key, BuildEvent::wait);
        buildEnded_.wait(guard, [&] { return !building_.contains(key); });
        if (builds_[slot] != seen) {
            const PermEntry& installed = perms_.at(key);
            return {installed.perm, installed.count};
        }
    }
    building_.insert(key);
    pendingMoved_[key].clear();
    const std::uint32_t n = count();
    const std::function<void(SortKey, BuildEvent)> hook = buildHook_;
    guard.unlock();

    PermRef perm;
    try {
        if (hook) hook(key, BuildEvent::build);
        perm = Perm::owning(sortorder::buildPermutation(s(), key, n));
    } catch (...) {
        // Moves reported meanwhile also went to the installed entry, so none is lost.
        guard.lock();
        building_.erase(key);
        pendingMoved_.erase(key);
        buildEnded_.notify_all();
        throw;
    }

    guard.lock();
    perms_[key] = PermEntry{n, perm, {}, 0};
    const std::vector<std::uint32_t> pending = std::move(pendingMoved_[key]);
    pendingMoved_.erase(key);
    building_.erase(key);
    ++builds_[slot];
    markMovedLocked(key, pending);
    buildEnded_.notify_all();
    return {perm, n};
}

const PermEntry* VolumeIndex::usableLocked(SortKey key) const {
    if (scansRunning_ > 0) return nullptr;
    const auto it = perms_.find(key);
    if (it == perms_.end() || it->second.count > count()) return nullptr;
    return &it->second;
}

std::optional<PermEntry> VolumeIndex::usablePerm(SortKey key) const {
    std::lock_guard guard(lock_);
    const PermEntry* entry = usableLocked(key);
    if (!entry) return std::nullopt;
    return *entry;
}

PermRef VolumeIndex::cachedPermutation(SortKey key) const {
    std::lock_guard guard(lock_);
    const PermEntry* entry = usableLocked(key);
    if (!entry || !withinDrift(count(), entry->count, entry->movedCount)) return nullptr;
    return entry->perm;
}

PermRef VolumeIndex::permutation(SortKey key) { return permutationAndCount(key).first; }

std::pair<PermRef, std::uint32_t> VolumeIndex::permutationAndCount(SortKey key) {
    {
        std::lock_guard guard(lock_);
        if (const PermEntry* entry = usableLocked(key)) return {entry->perm, entry->count};
    }
    return rebuildPermutation(key);
}

std::vector<SortKey> VolumeIndex::staleKeys() const {
    std::lock_guard guard(lock_);
    std::vector<SortKey> stale;
    for (const SortKey key : allSortKeys) {
        const PermEntry* entry = usableLocked(key);
        if (!entry || !withinDrift(count(), entry->count, entry->movedCount)) stale.push_back(key);
    }
    return stale;
}

void VolumeIndex::markMoved(SortKey key, std::span<const std::uint32_t> ids) {
    std::lock_guard guard(lock_);
    markMovedLocked(key, ids);
}

void VolumeIndex::markMovedLocked(SortKey key, std::span<const std::uint32_t> ids) {
    if (ids.empty()) return;
    if (building_.contains(key)) {
        std::vector<std::uint32_t>& pending = pendingMoved_[key];
        pending.insert(pending.end(), ids.begin(), ids.end());
    }
    const auto it = perms_.find(key);
    if (it == perms_.end()) return;
    PermEntry& entry = it->second;
    const std::size_t words = entry.count / 64 + 1;
    if (entry.moved.size() < words) entry.moved.resize(words);
    for (const std::uint32_t id : ids) {
        if (id >= entry.count) continue;
        std::uint64_t& word = entry.moved[id >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (id & 63);
        if (word & bit) continue;
        word |= bit;
        ++entry.movedCount;
    }
}

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
    const auto valid = static_cast<std::size_t>(
        std::count_if(hits.begin(), hits.end(), [n](std::uint32_t id) { return id < n; }));
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

void VolumeIndex::setBuildHookForTesting(std::function<void(SortKey, BuildEvent)> hook) {
    std::lock_guard guard(lock_);
    buildHook_ = std::move(hook);
}

}  // namespace quorvanta::core
