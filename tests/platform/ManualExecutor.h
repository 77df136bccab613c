// An executor for the event-source tests: it keeps what it is handed and runs it, on the test's
// thread, when the test says so.
#pragma once

#include "platform/dispatch/Executor.h"

#include <mutex>
#include <vector>

namespace quorvanta::platform::test_support {

class ManualExecutor final : public Executor {
public:
    void post(Task task) override {
        std::lock_guard guard(mutex_);
        tasks_.push_back(std::move(task));
    }
    // Runs the tasks handed over so far (not those they hand over in turn).
    void run() {
        std::vector<Task> now;
        {
            std::lock_guard guard(mutex_);
            now.swap(tasks_);
        }
        for (Task& t : now) t();
    }

private:
    std::mutex mutex_;
    std::vector<Task> tasks_;
};

}  // namespace quorvanta::platform::test_support
