// The parallel loop: calls fn(0), fn(1) ... fn(n - 1), each exactly once, on a pool of threads
// shared by the whole process (hardware_concurrency() threads, the calling thread counted among
// them, since it works on its own loop too). Returns when every iteration has ended.
//
// Nested loops work: a loop started inside an iteration is run by its caller and whichever pool
// threads are free. When an iteration throws, iterations not yet started are skipped and the first
// exception is rethrown once every started iteration has ended.
//
// The pool threads run at the process's own nice value; they are started by the first loop.
#pragma once

#include <cstddef>
#include <functional>

namespace quorvanta::platform {

void parallelFor(std::size_t n, const std::function<void(std::size_t)>& fn);

// Threads that work on one loop at most: the pool's threads plus the caller.
std::size_t parallelWidth();

}  // namespace quorvanta::platform
