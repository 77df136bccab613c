#include "platform/dispatch/ManualMainQueue.h"

namespace quorvanta::platform {

ManualMainQueue::ManualMainQueue(FakeClock& clock)
    : MainQueue(clock),
      fakeClock_(clock),
      mainThread_(std::this_thread::get_id()),
      inbox_(std::make_shared<TaskInbox>()) {}

void ManualMainQueue::post(Task task) { inbox_->push(std::move(task)); }

void ManualMainQueue::postAfter(Clock::Duration delay, Task task) {
    pushAfter(fakeClock_, delay, inbox_, std::move(task));
}

std::size_t ManualMainQueue::drain() {
    std::size_t ran = 0;
    while (auto task = inbox_->tryPop()) {
        (*task)();
        ++ran;
    }
    return ran;
}

std::size_t ManualMainQueue::waitUntil(const std::function<bool()>& done) {
    std::size_t ran = 0;
    while (!done()) {
        std::optional<Task> task = inbox_->popWait();
        if (!task) break;
        (*task)();
        ++ran;
    }
    return ran;
}

void ManualMainQueue::runUntil(Clock::TimePoint time) {
    drain();
    for (auto next = fakeClock_.nextDeadline(); next && *next <= time; next = fakeClock_.nextDeadline()) {
        fakeClock_.advanceTo(*next);
        drain();
    }
    fakeClock_.advanceTo(time);
    drain();
}

}  // namespace quorvanta::platform
