// SortOrderCache: the installed permutation of each sort key of one index, with the moves
// reported since its build, and the builds that replace it. A permutation is built from the
// entries published when its build starts and installed with that count; the index merges in
// later appends and the moves reported through `markMoved` until the drift rule calls it stale.
// One build per key runs at a time: a request for a key whose build is running waits for that
// build and takes its result (and builds itself only when that build failed).
//
// Threads: every member is safe from any thread. `lock_` guards the installed entries, the keys
// being built, the moves reported during a build, the count of builds per key and the test hook;
// sorts run outside it, and no other lock is taken while it is held. Whether a scan runs is the
// index's business: it asks the cache only when none does.
#pragma once

#include "QuorvantaCore/index/SortOrders.h"
#include "QuorvantaCore/index_engine/fidx.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <vector>

namespace quorvanta::core {

class SortOrderCache {
public:
    // What the test hook is told: a build of a key has taken its entry count and is about to sort
    // (`build`, outside `lock_`: it may hold the build open), or a request starts waiting for a
    // running build of its key (`wait`, with `lock_` held: it must not call the cache).
    enum class BuildEvent { build, wait };
    using BuildHook = std::function<void(SortKey, BuildEvent)>;
    using Entries = std::array<std::optional<PermEntry>, allSortKeys.size()>;

    // The orders of the entries of `h`, which must outlive the cache.
    explicit SortOrderCache(const fidx* h) : h_(h) {}
    SortOrderCache(const SortOrderCache&) = delete;
    SortOrderCache& operator=(const SortOrderCache&) = delete;

    // Builds and installs a fresh permutation of the key over the published entries; gives it
    // with the count it covers. What the sort throws is rethrown, with nothing installed.
    std::pair<PermRef, std::uint32_t> rebuild(SortKey key);
    // The installed entry of the key, unless there is none or it covers more entries than the
    // index holds (a damaged snapshot).
    std::optional<PermEntry> usable(SortKey key) const;
    // The permutation of `usable` with the count it covers, without copying its moved bits.
    std::optional<std::pair<PermRef, std::uint32_t>> usablePermutation(SortKey key) const;
    // The permutation of `usable` when within the drift bound, else null.
    PermRef fresh(SortKey key) const;
    // The keys, in SortKey order, without a usable permutation within the drift bound.
    std::vector<SortKey> staleKeys() const;
    // Records that these entries' values for the key changed. Entries the installed permutation
    // does not cover are ignored; during a build of the key they are also kept for the
    // permutation that build installs.
    void markMoved(SortKey key, std::span<const std::uint32_t> ids);

    // For the snapshot: every key's installed entry that holds a permutation, however far it
    // drifted or whatever it covers.
    Entries installed() const;
    // Installs the given entries (those present), replacing what the keys held.
    void install(Entries entries);
    // Puts `replacement` in place of the key's permutation while that is still `current`.
    void replacePermutation(SortKey key, const PermRef& current, PermRef replacement);

    // Test seam; empty: nothing is told.
    void setBuildHook(BuildHook hook);

private:
    // The installed entry of the key when usable; `lock_` held.
    const PermEntry* usableLocked(SortKey key) const;
    void markMovedLocked(SortKey key, std::span<const std::uint32_t> ids);

    const fidx* const h_;
    mutable std::mutex lock_;
    std::map<SortKey, PermEntry> perms_;                          // lock_
    std::set<SortKey> building_;                                  // lock_; keys whose build runs
    std::map<SortKey, std::vector<std::uint32_t>> pendingMoved_;  // lock_; moves reported during a build
    std::array<std::uint64_t, allSortKeys.size()> builds_{};      // lock_; builds installed, per key
    std::condition_variable buildEnded_;                          // a key left `building_`
    BuildHook buildHook_;                                         // lock_
};

}  // namespace quorvanta::core
