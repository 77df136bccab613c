// The work-pulling loop: calls work(0) ... work(count - 1), each at most once, from
// max(1, workers) iterations of parallelFor (fewer when there are fewer claims to make). Each
// worker claims the next `chunk` items (at least 1) from a shared cursor and runs them one after
// another, so the items claimed are always the first ones of the list. Before each claim a
// worker checks `stop`: once it is set, items not yet claimed never run, and the loop returns
// when the claims in hand are done.
//
// Threads: `work` runs on the caller and on pool threads at once; what it shares it guards
// itself. An exception from `work` ends its worker (the rest of that claim does not run) and is
// rethrown on the caller once every worker ended, as parallelFor does.
#pragma once

#include "platform/dispatch/CancelFlag.h"

#include <cstddef>
#include <functional>

namespace quorvanta::platform {

void parallelPull(std::size_t count, std::size_t workers, std::size_t chunk, const CancelFlag& stop,
                  const std::function<void(std::size_t)>& work);

}  // namespace quorvanta::platform
