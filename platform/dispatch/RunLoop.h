// The command-line tool's main loop: run() executes posted tasks in order on the thread that
// created the loop until quit() is called. Quitting also begins shutdown (see MainQueue): tasks
// still queued, and those posted later, never run.
//
// runFor() steps the loop instead, for a caller that keeps control between steps (the headless
// benchmark and self test): it runs what is posted until a span of the loop's clock has passed.
#pragma once

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/TaskInbox.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace quorvanta::platform {

class RunLoop final : public MainQueue {
public:
    explicit RunLoop(Clock& clock = realClock());

    void post(Task task) override;
    void postAfter(Clock::Duration delay, Task task) override;
    bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }

    // Runs tasks until quit(); call it on the thread that created the loop.
    void run();
    // Runs the tasks posted before and during the call, and the timers that fall due, until
    // `span` has passed on the loop's clock (a fake clock must be advanced by another thread);
    // a timer due later stays pending. Returns at once after quit(). On the loop's thread, not
    // from one of its own tasks.
    void runFor(Clock::Duration span);
    // Safe from any thread, including from a task of the loop.
    void quit();

    // Test seam: called on the loop's thread whenever a step of runFor finds no task to run,
    // before it waits for one; a test on a fake clock moves the clock there. Set before stepping.
    void setIdleHookForTesting(std::function<void()> hook) { idleHook_ = std::move(hook); }

private:
    const std::thread::id mainThread_;
    const std::shared_ptr<TaskInbox> inbox_;
    std::atomic<bool> quitting_{false};
    std::function<void()> idleHook_;
};

}  // namespace quorvanta::platform
