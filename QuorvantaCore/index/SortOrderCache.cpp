#include "QuorvantaCore/index/SortOrderCache.h"

#include <utility>

namespace quorvanta::core {

std::pair<PermRef, std::uint32_t> SortOrderCache::rebuild(SortKey key) {
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
    const std::uint32_t n = fidx_count(h_);
    const BuildHook hook = buildHook_;
    guard.unlock();

    PermRef perm;
    try {
        if (hook) hook(key, BuildEvent::build);
        perm = Perm::owning(sortorder::buildPermutation(h_, key, n));
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

const PermEntry* SortOrderCache::usableLocked(SortKey key) const {
    const auto it = perms_.find(key);
    if (it == perms_.end() || it->second.count > fidx_count(h_)) return nullptr;
    return &it->second;
}

std::optional<PermEntry> SortOrderCache::usable(SortKey key) const {
    std::lock_guard guard(lock_);
    const PermEntry* entry = usableLocked(key);
    if (!entry) return std::nullopt;
    return *entry;
}

std::optional<std::pair<PermRef, std::uint32_t>> SortOrderCache::usablePermutation(SortKey key) const {
    std::lock_guard guard(lock_);
    const PermEntry* entry = usableLocked(key);
    if (!entry) return std::nullopt;
    return std::pair{entry->perm, entry->count};
}

PermRef SortOrderCache::fresh(SortKey key) const {
    std::lock_guard guard(lock_);
    const PermEntry* entry = usableLocked(key);
    if (!entry || !withinDrift(fidx_count(h_), entry->count, entry->movedCount)) return nullptr;
    return entry->perm;
}

std::vector<SortKey> SortOrderCache::staleKeys() const {
    std::lock_guard guard(lock_);
    std::vector<SortKey> stale;
    for (const SortKey key : allSortKeys) {
        const PermEntry* entry = usableLocked(key);
        if (!entry || !withinDrift(fidx_count(h_), entry->count, entry->movedCount)) stale.push_back(key);
    }
    return stale;
}

void SortOrderCache::markMoved(SortKey key, std::span<const std::uint32_t> ids) {
    std::lock_guard guard(lock_);
    markMovedLocked(key, ids);
}

void SortOrderCache::markMovedLocked(SortKey key, std::span<const std::uint32_t> ids) {
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

SortOrderCache::Entries SortOrderCache::installed() const {
    std::lock_guard guard(lock_);
    Entries out;
    for (const auto& [key, entry] : perms_)
        if (entry.perm) out[static_cast<std::size_t>(key)] = entry;
    return out;
}

void SortOrderCache::install(Entries entries) {
    std::lock_guard guard(lock_);
    for (std::size_t key = 0; key < entries.size(); ++key)
        if (entries[key]) perms_[allSortKeys[key]] = std::move(*entries[key]);
}

void SortOrderCache::replacePermutation(SortKey key, const PermRef& current, PermRef replacement) {
    std::lock_guard guard(lock_);
    const auto it = perms_.find(key);
    if (it != perms_.end() && it->second.perm == current) it->second.perm = std::move(replacement);
}

void SortOrderCache::setBuildHook(BuildHook hook) {
    std::lock_guard guard(lock_);
    buildHook_ = std::move(hook);
}

}  // namespace quorvanta::core
