#include "platform/dispatch/ManualMainQueue.h"
#include "platform/dispatch/RunLoop.h"

#include "tests/platform/DelayedTaskCases.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

using namespace std::chrono_literals;

TEST(MainQueueManual, RunsPostedTasksInOrderOnlyWhenDrained) {
    FakeClock clock;
    ManualMainQueue main(clock);
    std::vector<int> order;
    for (int i = 0; i < 5; ++i)
        main.post([&, i] {
            order.push_back(i);
            if (i == 0) main.post([&] { order.push_back(100); });  // queued behind the others
        });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(main.drain(), 6u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 100}));
}

TEST(MainQueueManual, DelayedTasksFollowTheClock) {
    FakeClock clock;
    ManualMainQueue main(clock);
    test_cases::checkDelayedTasks([&](Clock::Duration delay, Task task) { main.postAfter(delay, std::move(task)); },
                                  [&](Clock::Duration by) { main.runUntil(clock.now() + by); });
}

TEST(MainQueueManual, RunUntilRunsWorkQueuedByADueTaskBeforeLaterDeadlines) {
    FakeClock clock;
    ManualMainQueue main(clock);
    std::vector<std::string> log;
    main.postAfter(1s, [&] {
        log.push_back("at 1s");
        main.post([&] { log.push_back("posted at 1s"); });
    });
    main.postAfter(2s, [&] { log.push_back("at 2s"); });
    main.runUntil(clock.now() + 5s);
    EXPECT_EQ(log, (std::vector<std::string>{"at 1s", "posted at 1s", "at 2s"}));
}

// Work posted from another thread, one task after the other: waitUntil runs each as it comes and
// returns once the condition holds, leaving later tasks queued.
TEST(MainQueueManual, WaitUntilRunsTasksOfOtherThreadsUntilTheConditionHolds) {
    FakeClock clock;
    ManualMainQueue main(clock);
    int ran = 0;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i) main.post([&] { ++ran; });
    });
    EXPECT_EQ(main.waitUntil([&] { return ran == 3; }), 3u);
    EXPECT_EQ(ran, 3);
    worker.join();
    EXPECT_EQ(main.drain(), 2u);
    EXPECT_EQ(main.waitUntil([&] { return ran == 5; }), 0u) << "nothing runs when the condition already holds";
}

TEST(MainQueueManual, PostSyncRunsInlineOnTheMainThread) {
    FakeClock clock;
    ManualMainQueue main(clock);
    EXPECT_TRUE(main.isMainThread());
    EXPECT_EQ(main.postSync([] { return 42; }), 42);
    bool ran = false;
    EXPECT_TRUE(main.postSync([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(main.drain(), 0u) << "an inline call must not queue anything";
}

TEST(MainQueueManual, PostSyncFromAWorkerGetsTheValueWhileMainDrains) {
    FakeClock clock;
    ManualMainQueue main(clock);
    std::atomic<bool> finished{false};
    std::optional<int> answer;
    std::thread worker([&] {
        EXPECT_FALSE(main.isMainThread());
        answer = main.postSync([&] { return main.isMainThread() ? 42 : -1; });
        finished = true;
    });
    while (!finished.load()) {
        main.drain();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(answer, 42);
}

TEST(MainQueueManual, PostSyncRethrowsOnTheCallersThread) {
    FakeClock clock;
    ManualMainQueue main(clock);
    std::atomic<bool> finished{false};
    bool threw = false;
    std::thread worker([&] {
        try {
            main.postSync([]() -> int { throw std::runtime_error("on main"); });
        } catch (const std::runtime_error&) {
            threw = true;
        }
        finished = true;
    });
    while (!finished.load()) main.drain();
    worker.join();
    EXPECT_TRUE(threw);
}

TEST(MainQueueManual, PostSyncGivesUpAfterTheBound) {
    FakeClock clock;
    ManualMainQueue main(clock);
    std::atomic<bool> ran{false};
    std::optional<int> answer = 0;
    std::thread worker([&] {
        answer = main.postSync([&] {
            ran = true;
            return 1;
        });
    });
    // The worker's bound is a timer on the fake clock; once it is set, moving past it ends the wait.
    while (clock.pendingTimers() == 0) std::this_thread::yield();
    clock.advance(MainQueue::kSyncBound - 1ms);
    clock.advance(1ms);
    worker.join();
    EXPECT_EQ(answer, std::nullopt);
    main.drain();
    EXPECT_FALSE(ran.load()) << "a call given up on must never run";
}

TEST(MainQueueManual, PostSyncIsUnavailableOnceShutdownBegan) {
    FakeClock clock;
    ManualMainQueue main(clock);
    std::atomic<bool> ran{false};
    // A worker already waiting when shutdown begins, and one that asks afterwards: both get
    // "unavailable" without the main queue running anything and without the clock moving.
    std::latch asking(1);
    std::optional<int> early = 0, late = 0;
    std::thread waiting([&] {
        asking.count_down();
        early = main.postSync([&] {
            ran = true;
            return 1;
        });
    });
    asking.wait();
    main.beginShutdown();
    waiting.join();
    std::thread afterwards([&] {
        late = main.postSync([&] {
            ran = true;
            return 2;
        });
    });
    afterwards.join();
    EXPECT_EQ(early, std::nullopt);
    EXPECT_EQ(late, std::nullopt);
    EXPECT_TRUE(main.isShuttingDown());
    main.drain();
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(main.postSync([] { return 3; }), 3) << "on the main thread it still runs inline";
}

TEST(MainQueueRunLoop, RunsPostedTasksUntilQuit) {
    RunLoop loop;
    std::vector<int> order;  // only touched on the loop's thread
    std::optional<int> fromWorker;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) loop.post([&, i] { order.push_back(i); });
        fromWorker = loop.postSync([&] { return static_cast<int>(order.size()); });
        loop.postAfter(1ms, [&] { loop.quit(); });
    });
    loop.run();
    worker.join();
    EXPECT_EQ(fromWorker, 100);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);

    // After the loop ended, other threads are told at once that it is gone.
    std::optional<int> afterQuit = 0;
    std::thread late([&] { afterQuit = loop.postSync([] { return 1; }); });
    late.join();
    EXPECT_EQ(afterQuit, std::nullopt);
}

TEST(MainQueueRunLoop, RunForRunsWhatIsPostedAndDueWithinTheSpanOnly) {
    FakeClock clock;
    const auto started = clock.now();
    RunLoop loop(clock);
    std::vector<std::string> ran;  // only touched on the loop's thread
    std::latch stepping(1);
    std::optional<int> fromWorker;
    // Another thread serves a postSync while the loop steps, then moves the clock past the span.
    std::thread worker([&] {
        stepping.wait();
        fromWorker = loop.postSync([&] {
            ran.push_back("sync");
            return 7;
        });
        clock.advance(100ms);
    });
    loop.postAfter(50ms, [&] { ran.push_back("due at 50 ms"); });
    loop.postAfter(150ms, [&] { ran.push_back("due at 150 ms"); });
    loop.post([&] {
        ran.push_back("posted before");
        loop.post([&] { ran.push_back("posted during"); });
        stepping.count_down();
    });
    loop.runFor(100ms);
    worker.join();
    EXPECT_EQ(fromWorker, 7);
    EXPECT_EQ(ran, (std::vector<std::string>{"posted before", "posted during", "sync", "due at 50 ms"}));

    // The later timer is still pending and runs in the next step that reaches it.
    loop.setIdleHookForTesting([&] { clock.advanceTo(*clock.nextDeadline()); });
    loop.runFor(100ms);
    EXPECT_EQ(ran.back(), "due at 150 ms");
    EXPECT_EQ(clock.now() - started, 200ms) << "the second step ends at its own span";
}

TEST(MainQueueRunLoop, RunForOnARealClockReturnsAfterItsSpanAndAfterQuit) {
    RunLoop loop;
    bool late = false;
    loop.postAfter(std::chrono::hours(1), [&] { late = true; });
    int steps = 0;
    loop.post([&] { ++steps; });
    loop.runFor(1ms);
    EXPECT_EQ(steps, 1);
    EXPECT_FALSE(late);
    loop.quit();
    loop.runFor(std::chrono::hours(1));  // returns at once
    EXPECT_FALSE(late);
}

}  // namespace
}  // namespace quorvanta::platform
