#include "platform/dispatch/ParallelPull.h"

#include "platform/dispatch/ParallelFor.h"

#include <algorithm>
#include <atomic>

namespace quorvanta::platform {

void parallelPull(std::size_t count, std::size_t workers, std::size_t chunk, const CancelFlag& stop,
                  const std::function<void(std::size_t)>& work) {
    if (count == 0) return;
    chunk = std::max<std::size_t>(chunk, 1);
    // More workers than claims would only find the cursor at the end.
    const std::size_t claims = count / chunk + (count % chunk != 0);
    std::atomic<std::size_t> cursor{0};
    parallelFor(std::clamp<std::size_t>(workers, 1, claims), [&](std::size_t) {
        while (!stop.isCancelled()) {
            const std::size_t begin = cursor.fetch_add(chunk, std::memory_order_relaxed);
            if (begin >= count) return;
            const std::size_t end = std::min(begin + chunk, count);
            for (std::size_t i = begin; i < end; ++i) work(i);
        }
    });
}

}  // namespace quorvanta::platform
