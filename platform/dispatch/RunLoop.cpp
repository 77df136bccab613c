#include "platform/dispatch/RunLoop.h"

namespace quorvanta::platform {

RunLoop::RunLoop(Clock& clock)
    : MainQueue(clock), mainThread_(std::this_thread::get_id()), inbox_(std::make_shared<TaskInbox>()) {}

void RunLoop::post(Task task) { inbox_->push(std::move(task)); }

void RunLoop::postAfter(Clock::Duration delay, Task task) { pushAfter(clock(), delay, inbox_, std::move(task)); }

void RunLoop::run() {
    while (!quitting_.load()) {
        auto task = inbox_->popWait();
        if (!task || quitting_.load()) return;
        (*task)();
    }
}

void RunLoop::runFor(Clock::Duration span) {
    // The end of the step is a task of its own, pushed by the clock when the span has passed: a
    // timer due earlier was pushed before it, one due later comes after the step.
    auto ended = std::make_shared<std::atomic<bool>>(false);
    pushAfter(clock(), span, inbox_, [ended] { ended->store(true); });
    while (!quitting_.load() && !ended->load()) {
        auto task = inbox_->tryPop();
        if (!task && idleHook_) {
            idleHook_();
            continue;
        }
        if (!task) task = inbox_->popWait();
        if (!task || quitting_.load()) return;
        (*task)();
    }
}

void RunLoop::quit() {
    quitting_.store(true);
    beginShutdown();
    inbox_->close();
}

}  // namespace quorvanta::platform
