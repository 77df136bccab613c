// The command-line tool's main loop: run() executes posted tasks in order on the thread that
// created the loop until quit() is called. Quitting also begins shutdown (see MainQueue): tasks
// still queued, and those posted later, never run.
#pragma once

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/TaskInbox.h"

#include <atomic>
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
    // Safe from any thread, including from a task of the loop.
    void quit();

private:
    const std::thread::id mainThread_;
    const std::shared_ptr<TaskInbox> inbox_;
    std::atomic<bool> quitting_{false};
};

}  // namespace quorvanta::platform
