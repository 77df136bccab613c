// The cross-volume merge: one search yields a list of entry indexes per searched volume, and
// `merge` turns those lists into the row keys of the single display order. Lists ordered by the
// same key are merged with the indexes' comparison; the path order, unordered lists and a lone
// non-empty list are joined volume by volume instead.
//
// Threads: pure functions; they read the indexes through their thread-safe accessors and touch
// nothing else, so they run on any thread (the search queue). The caller keeps the indexes alive.
#pragma once

#include "QuorvantaApp/model/search/RowKey.h"
#include "QuorvantaCore/index/SortOrders.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quorvanta::core {
class VolumeIndex;
}

namespace quorvanta::app {

// The volume indexes of a search or an order, by position; none is null.
using IndexList = std::span<const std::shared_ptr<core::VolumeIndex>>;

// The rows of `lists` (entry indexes, one list per position of `indexes`, each below its index's
// count) in display order:
//   - with two or more non-empty lists, `sorted` and a key other than path: the lists (each
//     already in the key's order in the requested direction) merged by `VolumeIndex::less`,
//     a tie going to the lower position in both directions;
//   - otherwise joined: each list in its own order, the volumes first to last, or last to first
//     when `desc`, `sorted` and the key is path (each volume's list is then already in path order
//     in the requested direction, so whole volumes are ordered by their position).
std::vector<RowKey> merge(std::span<const std::vector<std::uint32_t>> lists, IndexList indexes, core::SortKey key,
                          bool desc, bool sorted);

// The k-way merge step of `merge`, appending to `out`: the lists (position i read from
// `indexes[i]`) each in the key's order in the requested direction. One linear pass over the
// lists that still have entries per row, no heap; a list replaces the best candidate only when its
// next entry comes strictly first, so ties go to the lower position. Shared with the global
// order's build, which merges whole name permutations the same way.
void mergeOrdered(std::vector<RowKey>& out, std::span<const std::span<const std::uint32_t>> lists, IndexList indexes,
                  core::SortKey key, bool desc);

}  // namespace quorvanta::app
