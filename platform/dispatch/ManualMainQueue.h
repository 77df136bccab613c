// A main queue for tests: nothing runs until the test drains it, on the thread that created it
// (the "main thread" of the test). Delayed tasks follow a FakeClock.
#pragma once

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/TaskInbox.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

namespace quorvanta::platform {

class ManualMainQueue final : public MainQueue {
public:
    explicit ManualMainQueue(FakeClock& clock);

    void post(Task task) override;
    void postAfter(Clock::Duration delay, Task task) override;
    bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }

    // Runs queued tasks, including those they queue, until none is left; gives how many ran.
    // Call it on the main thread.
    std::size_t drain();
    // Runs queued tasks one at a time, waiting for the next when none is queued, until `done`
    // (asked before each task) holds: for work that other threads post here. Gives how many
    // tasks ran. Call it on the main thread, and only when some task will make `done` true.
    std::size_t waitUntil(const std::function<bool()>& done);
    // Moves the clock to `time` step by step: each delayed task runs at its deadline, after what
    // was queued before it, and the queue is drained at every step and at the end.
    void runUntil(Clock::TimePoint time);

private:
    FakeClock& fakeClock_;
    const std::thread::id mainThread_;
    const std::shared_ptr<TaskInbox> inbox_;
};

}  // namespace quorvanta::platform
