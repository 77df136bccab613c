// RefreshStats: the outcome of a refresh or reconcile of a volume index, also handed on by the
// volume watcher to its owner.
#pragma once

#include <cstdint>

namespace quorvanta::core {

struct RefreshStats {
    std::int64_t listed = 0;   // folders listed successfully
    std::int64_t added = 0;    // entries appended from listings (not those of new folders' scans)
    std::int64_t removed = 0;  // entries newly flagged deleted, subtrees of removed folders included
    std::int64_t updated = 0;  // size or time rewrites of children, and of listed folders' own times
    bool fullRescan = false;   // a recursive target was a root: only a full rescan can help
    bool rootMissing = false;  // a root is gone (or is no longer the mount it was): nothing changed

    friend bool operator==(const RefreshStats&, const RefreshStats&) = default;
};

}  // namespace quorvanta::core
