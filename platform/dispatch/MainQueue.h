// The main thread's queue, where all observable state of the application changes. The application
// binds it to its event loop, the command-line tool to RunLoop, tests to ManualMainQueue.
//
// postSync runs a task on the main thread and waits for it, with two guards the other threads rely
// on: the wait is bounded (kSyncBound), and once shutdown has begun (the application is quitting,
// or the loop has ended) it answers "unavailable" at once instead of waiting for a loop that will
// not run it. A task that was not run by then never runs. On the main thread it runs inline.
//
// Threads: post, postAfter, postSync, isMainThread and beginShutdown are safe from any thread.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/dispatch/Outcome.h"
#include "platform/time/Clock.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <vector>

namespace quorvanta::platform {

class MainQueue : public Executor {
public:
    static constexpr Clock::Duration kSyncBound = std::chrono::seconds(5);

    explicit MainQueue(Clock& clock) : clock_(clock) {}

    // post (FIFO) comes from Executor.
    // Queues `task` once `delay` has passed on the queue's clock.
    virtual void postAfter(Clock::Duration delay, Task task) = 0;
    virtual bool isMainThread() const = 0;

    // Runs `fn` on the main thread and waits for it. Returns its result (true for a void `fn`), or
    // none (false) when the main queue is unavailable: shutdown has begun, or `fn` did not start
    // within `bound`. What `fn` throws is rethrown here.
    template <class F>
    auto postSync(F&& fn, Clock::Duration bound = kSyncBound);

    // From now on postSync from other threads answers "unavailable" at once, and the waits already
    // running end with that answer unless their task has started.
    void beginShutdown();
    bool isShuttingDown() const;

    Clock& clock() const { return clock_; }

protected:
    struct SyncCall;
    // Runs `body` on the main thread; false when unavailable.
    bool runSync(std::function<void()> body, Clock::Duration bound);

private:
    Clock& clock_;
    mutable std::mutex syncMutex_;  // guards shuttingDown_ and waiting_
    bool shuttingDown_ = false;
    std::vector<std::weak_ptr<SyncCall>> waiting_;
};

template <class F>
auto MainQueue::postSync(F&& fn, Clock::Duration bound) {
    using Result = std::invoke_result_t<F&>;
    Outcome<Result> outcome;
    const bool ran = runSync([&] { outcome.capture(fn); }, bound);
    if constexpr (std::is_void_v<Result>) {
        if (ran) outcome.take();
        return ran;
    } else {
        return ran ? std::optional<Result>(outcome.take()) : std::nullopt;
    }
}

}  // namespace quorvanta::platform
