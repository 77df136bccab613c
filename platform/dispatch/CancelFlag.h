// A stop request that long work polls at its checkpoints: set once from any thread, never
// cleared. What the setting thread wrote before `cancel` is visible to a thread that then sees
// `isCancelled()` true.
#pragma once

#include <atomic>

namespace quorvanta::platform {

class CancelFlag {
public:
    CancelFlag() = default;
    CancelFlag(const CancelFlag&) = delete;
    CancelFlag& operator=(const CancelFlag&) = delete;

    void cancel() noexcept { set_.store(true, std::memory_order_release); }
    bool isCancelled() const noexcept { return set_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> set_{false};
};

}  // namespace quorvanta::platform
