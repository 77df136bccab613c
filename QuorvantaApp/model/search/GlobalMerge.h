// The name order of one search's hits across volumes through the global order: the hits are
// marked in one bitmap per volume and picked out by a single walk of the order's rows, so the
// bulk of them is placed without comparing a name. Only the hits on entries newer than the order
// (the tail) are sorted by name and merged in.
//
// Threads: a pure function over an immutable order and the indexes' thread-safe accessors; runs on
// any thread, and walks a large order on the process's parallel loop (platform/dispatch/
// ParallelFor.h). The caller keeps the order and the indexes alive.
#pragma once

#include "QuorvantaApp/model/search/CrossVolumeMerge.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaApp/model/search/RowKey.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvanta::app {

// The fewest rows of the global order a slice of the walk takes: 4 MiB of rows.
inline constexpr std::size_t kGlobalWalkSliceRows = std::size_t(1) << 19;

// The rows of `lists` (raw hits: ascending entry indexes, one list per position of `indexes`) in
// name order, reversed when `desc`. The caller has checked `order.matches(indexes)`.
//   - Hits below their volume's covered count come in the order of the rows, walked first to last,
//     or last to first when descending (so fold-equal names across volumes come lower position
//     first ascending and higher position first descending).
//   - The tail, hits at or past the covered count, is sorted stably by `VolumeIndex::less` on
//     names (then reversed when descending) and merged in; a tail row goes before a row of the
//     order with an equal name, in both directions.
// Rows of the order naming a position past the lists or an entry at or past its covered count
// (a damaged file) are skipped, and each hit is given at most once. Should the order not match
// after all, nothing is read outside it: a covered count is taken at most up to its index's count,
// and a position the order does not hold has all its hits in the tail.
//
// The rows are walked in slices of at least `sliceRows` rows (one slice when there are fewer), on
// the parallel loop when there are several; the result is the same for any slice size.
std::vector<RowKey> mergeGlobal(const GlobalOrder& order, std::span<const std::vector<std::uint32_t>> lists,
                                IndexList indexes, bool desc, std::size_t sliceRows = kGlobalWalkSliceRows);

}  // namespace quorvanta::app
