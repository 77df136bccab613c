#include "platform/dispatch/SerialQueue.h"

#include "platform/thread/ThreadName.h"
#include "tests/platform/DelayedTaskCases.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace quorvanta::platform {
namespace {

TEST(SerialQueue, KeepsEachProducersOrderAndRunsOneTaskAtATime) {
    constexpr int kProducers = 8;
    constexpr int kTasksEach = 2000;
    SerialQueue queue("quorvanta.test");
    std::atomic<int> inFlight{0};
    std::atomic<int> overlaps{0};
    std::vector<std::pair<int, int>> seen;  // only touched by the queue's tasks
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kTasksEach; ++i)
                queue.async([&, p, i] {
                    if (inFlight.fetch_add(1) != 0) overlaps.fetch_add(1);
                    seen.emplace_back(p, i);
                    inFlight.fetch_sub(1);
                });
        });
    for (auto& t : producers) t.join();
    const auto all = queue.sync([&] { return seen; });

    EXPECT_EQ(overlaps.load(), 0) << "two tasks ran at once";
    ASSERT_EQ(all.size(), std::size_t{kProducers * kTasksEach});
    std::vector<int> next(kProducers, 0);
    for (const auto& [p, i] : all) {
        ASSERT_EQ(i, next[p]) << "producer " << p << " out of order";
        ++next[p];
    }
}

TEST(SerialQueue, SyncReturnsAfterEarlierTasks) {
    SerialQueue queue("quorvanta.test");
    std::latch gate(1);
    std::vector<int> values;
    queue.async([&] { gate.wait(); });  // holds the queue until the other tasks are queued
    for (int i = 0; i < 100; ++i) queue.async([&, i] { values.push_back(i); });
    std::thread opener([&] { gate.count_down(); });
    const auto count = queue.sync([&] { return values.size(); });
    opener.join();
    EXPECT_EQ(count, 100u);
}

TEST(SerialQueue, SyncFromTheQueueItselfRunsInline) {
    SerialQueue queue("quorvanta.test");
    // From sync, and from an async task: neither may wait for itself.
    EXPECT_EQ(queue.sync([&] { return queue.sync([] { return 42; }); }), 42);
    std::latch done(1);
    int inner = 0;
    queue.async([&] {
        inner = queue.sync([&] { return queue.isCurrent() ? 7 : -1; });
        done.count_down();
    });
    done.wait();
    EXPECT_EQ(inner, 7);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, SyncHandsTheTasksExceptionToTheCaller) {
    SerialQueue queue("quorvanta.test");
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("task failed"); }), std::runtime_error);
    EXPECT_EQ(queue.sync([] { return 1; }), 1) << "the queue must keep running";
}

TEST(SerialQueue, ThreadIsNamedAfterTheLabelAndNicedByQos) {
    struct Case {
        const char* label;
        Qos qos;
        const char* threadName;
        int niceOffset;
    };
    const Case cases[] = {
        {"quorvanta.search", Qos::userInitiated, "quorvanta.searc", 0},
        {"quorvanta.watch", Qos::utility, "quorvanta.watch", 5},
        {"quorvanta.audio", Qos::background, "quorvanta.audio", 10},
    };
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    ASSERT_FALSE(base == -1 && errno != 0);
    for (const auto& c : cases) {
        SerialQueue queue(c.label, c.qos);
        EXPECT_EQ(queue.label(), c.label);
        EXPECT_EQ(queue.sync([] { return currentThreadName(); }), c.threadName);
        // The queue's thread was started from this one, so it can always get nicer than it.
        EXPECT_EQ(queue.sync([] { return currentThreadNice(); }), std::min(base + c.niceOffset, 19)) << c.label;
    }
}

TEST(SerialQueue, DelayedTasksFollowTheClock) {
    FakeClock clock;
    SerialQueue queue("quorvanta.test", Qos::standard, clock);
    test_cases::checkDelayedTasks([&](Clock::Duration delay, Task task) { queue.asyncAfter(delay, std::move(task)); },
                                  [&](Clock::Duration by) {
                                      clock.advance(by);
                                      queue.sync([] {});
                                  });
}

TEST(SerialQueue, CountsEveryTaskHandedToIt) {
    FakeClock clock;
    SerialQueue queue("quorvanta.test", Qos::standard, clock);
    EXPECT_EQ(queue.submitted(), 0u);
    queue.async([] {});
    queue.asyncAfter(std::chrono::seconds(1), [] {});
    EXPECT_EQ(queue.submitted(), 2u) << "a delayed task counts when it is handed over";
    queue.sync([] {});
    EXPECT_EQ(queue.submitted(), 3u);
    clock.advance(std::chrono::seconds(1));
    queue.sync([] {});
    EXPECT_EQ(queue.submitted(), 4u) << "and not again when it falls due";
}

TEST(SerialQueue, DestructionRunsQueuedTasksAndDropsFutureOnes) {
    FakeClock clock;
    std::atomic<int> ran{0};
    {
        SerialQueue queue("quorvanta.test", Qos::standard, clock);
        for (int i = 0; i < 50; ++i) queue.async([&] { ran.fetch_add(1); });
        queue.asyncAfter(std::chrono::seconds(1), [&] { ran.fetch_add(1000); });
    }
    EXPECT_EQ(ran.load(), 50);
    clock.advance(std::chrono::seconds(2));  // the timer finds its queue gone
    EXPECT_EQ(ran.load(), 50);
}

}  // namespace
}  // namespace quorvanta::platform
