// One table of delayed tasks and clock steps, run against every queue that takes its deadlines
// from a FakeClock: nothing runs before the clock reaches it, due tasks run in deadline order and
// equal deadlines in posting order.
#pragma once

#include "platform/time/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quorvanta::platform::test_cases {

using namespace std::chrono_literals;

// post(delay, task) queues a delayed task; advance(by) moves the fake clock and waits until the
// queue has run what became due.
inline void checkDelayedTasks(const std::function<void(Clock::Duration, std::function<void()>)>& post,
                              const std::function<void(Clock::Duration)>& advance) {
    struct Delayed {
        Clock::Duration delay;
        std::string name;
    };
    const Delayed tasks[] = {{3s, "c"}, {1s, "a1"}, {2s, "b"}, {1s, "a2"}, {0s, "now"}};
    struct Step {
        Clock::Duration advance;
        std::string expected;  // log after the step
    };
    const Step steps[] = {
        {0s, "now"},         // a zero delay is due at once, but only through the clock
        {999ms, "now"},      // nothing before its deadline
        {1ms, "now a1 a2"},  // equal deadlines in posting order
        {1500ms, "now a1 a2 b"},
        {10s, "now a1 a2 b c"},
    };
    std::mutex mutex;  // guards log
    std::string log;
    for (const auto& task : tasks)
        post(task.delay, [&, name = task.name] {
            std::lock_guard lock(mutex);
            log += log.empty() ? name : " " + name;
        });
    for (const auto& step : steps) {
        advance(step.advance);
        std::lock_guard lock(mutex);
        EXPECT_EQ(log, step.expected) << "after advancing by " << step.advance.count() << " ns";
    }
}

}  // namespace quorvanta::platform::test_cases
