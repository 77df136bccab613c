// When the global order is rebuilt. An order that is missing or no longer matches the volumes is
// always rebuilt; a matching one once its tail (the entries added since its build, which every
// name-ordered search must sort by comparing names) grows too large: above 100,000 entries while
// all volumes together hold fewer than 800,000, else above an eighth of all entries.
//
// Threads: pure functions; `needsGlobalRebuild` reads the indexes' counts, safe from any thread.
#pragma once

#include "QuorvantaApp/model/search/CrossVolumeMerge.h"

#include <cstdint>

namespace quorvanta::app {

class GlobalOrder;

// The tail rule alone: `total` entries in all volumes (deleted ones included), `tail` of them
// outside the order.
bool tailNeedsRebuild(std::uint64_t total, std::uint64_t tail);

// The whole rule for the current order (null: none) over all volumes' indexes in order.
bool needsGlobalRebuild(const GlobalOrder* current, IndexList indexes);

}  // namespace quorvanta::app
