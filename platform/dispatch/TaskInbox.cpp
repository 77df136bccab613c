#include "platform/dispatch/TaskInbox.h"

namespace quorvanta::platform {

bool TaskInbox::push(Task task) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
    return true;
}

std::optional<Task> TaskInbox::popWait() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return closed_ || !tasks_.empty(); });
    if (tasks_.empty()) return std::nullopt;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
}

std::optional<Task> TaskInbox::tryPop() {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return std::nullopt;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
}

void TaskInbox::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    ready_.notify_all();
}

void pushAfter(Clock& clock, Clock::Duration delay, const std::shared_ptr<TaskInbox>& inbox, Task task) {
    clock.scheduleAfter(delay, [weak = std::weak_ptr<TaskInbox>(inbox), task = std::move(task)]() mutable {
        if (auto target = weak.lock()) target->push(std::move(task));
    });
}

}  // namespace quorvanta::platform
