#include "QuorvantaApp/shell/QtMainQueue.h"

#include "platform/time/Clock.h"
#include "tests/support/qt/PostedEvents.h"

#include <QEventLoop>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorvanta::app {
namespace {

using namespace std::chrono_literals;
using test::runPostedEvents;

TEST(QtMainQueue, RunsTasksOnTheMainThreadInPostingOrderOfEachThread) {
    QtMainQueue queue;
    constexpr int kThreads = 4;
    constexpr int kTasks = 300;
    std::vector<std::pair<int, int>> ran;  // touched by the tasks only, on the main thread
    int offMain = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i)
                queue.post([&, t, i] {
                    offMain += queue.isMainThread() ? 0 : 1;
                    ran.emplace_back(t, i);
                });
        });
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(ran.empty()) << "tasks ran before the event loop came round";
    runPostedEvents();

    ASSERT_EQ(ran.size(), std::size_t{kThreads * kTasks});
    EXPECT_EQ(offMain, 0);
    std::vector<int> next(kThreads, 0);
    for (const auto& [t, i] : ran) {
        EXPECT_EQ(i, next[t]) << "thread " << t << " out of order";
        next[t] = i + 1;
    }
}

TEST(QtMainQueue, DelayedTasksJoinTheLineAtTheirDeadline) {
    platform::FakeClock clock;
    QtMainQueue queue(clock);
    std::string ran;
    queue.postAfter(20ms, [&] { ran += 'a'; });
    queue.postAfter(10ms, [&] { ran += 'b'; });
    queue.postAfter(10ms, [&] { ran += 'c'; });
    queue.post([&] { ran += 'd'; });
    runPostedEvents();
    EXPECT_EQ(ran, "d");
    clock.advance(10ms);
    queue.post([&] { ran += 'e'; });
    runPostedEvents();
    EXPECT_EQ(ran, "dbce");
    clock.advance(10ms);
    runPostedEvents();
    EXPECT_EQ(ran, "dbcea");
}

TEST(QtMainQueue, PostSyncInlineOnTheMainThreadAndAnsweredForAWorker) {
    QtMainQueue queue;
    bool inline_ = false;
    EXPECT_TRUE(queue.postSync([&] { inline_ = true; }));
    EXPECT_TRUE(inline_) << "postSync on the main thread runs at once";

    std::atomic<bool> done{false};
    std::optional<int> answer;
    std::thread worker([&] {
        answer = queue.postSync([&] { return queue.isMainThread() ? 42 : -1; });
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    worker.join();
    EXPECT_EQ(answer, 42);
}

TEST(QtMainQueue, UnavailableOnceShutdownBegan) {
    QtMainQueue queue;
    queue.beginShutdown();
    std::optional<int> answer = 0;
    std::thread worker([&] { answer = queue.postSync([] { return 1; }); });
    worker.join();  // answered without the main thread's help
    EXPECT_EQ(answer, std::nullopt);
}

TEST(QtMainQueue, TasksLeftWhenTheQueueGoesNeverRun) {
    platform::FakeClock clock;
    int ran = 0;
    {
        QtMainQueue queue(clock);
        queue.post([&] { ++ran; });
        queue.postAfter(5ms, [&] { ++ran; });
    }
    runPostedEvents();
    clock.advance(10ms);
    runPostedEvents();
    EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace quorvanta::app
