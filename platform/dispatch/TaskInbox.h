// The FIFO of tasks behind a serial queue or a main loop, shared by the queue and its pending
// timers (which hold it weakly, so a timer that fires after the queue is gone drops its task).
//
// Threads: every member is safe from any thread.
#pragma once

#include "platform/dispatch/Executor.h"
#include "platform/time/Clock.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace quorvanta::platform {

class TaskInbox {
public:
    // False (and the task dropped) once the inbox is closed.
    bool push(Task task);
    // The oldest task, waiting for one while the inbox is open; none once it is closed and empty.
    std::optional<Task> popWait();
    // The oldest task, or none at once.
    std::optional<Task> tryPop();
    // No more tasks are taken in; those already queued can still be popped.
    void close();

private:
    std::mutex mutex_;  // guards tasks_ and closed_
    std::condition_variable ready_;
    std::deque<Task> tasks_;
    bool closed_ = false;
};

// Pushes `task` into `inbox` after `delay` on `clock`, unless the inbox is gone or closed by then.
void pushAfter(Clock& clock, Clock::Duration delay, const std::shared_ptr<TaskInbox>& inbox, Task task);

}  // namespace quorvanta::platform
