// Reads of plain memory that another thread may store to at the same time through
// std::atomic_ref (the engine's columns that in-place updates rewrite). The load is relaxed: it
// orders nothing, it only keeps the read from racing with the store in the language's sense.
#pragma once

#include <atomic>

namespace quorvanta::platform {

template <class T>
T relaxed(T& cell) {
    return std::atomic_ref<T>(cell).load(std::memory_order_relaxed);
}

}  // namespace quorvanta::platform
