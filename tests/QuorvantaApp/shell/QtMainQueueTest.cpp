#include "QuorvantaApp/shell/QtMainQueue.h"

#include "platform/time/Clock.h"
#include "tests/support/PollFor.h"
#include "tests/support/qt/PostedEvents.h"

#include <QEventLoop>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorvanta::app {
namespace {

using namespace std::chrono_literals;
using test::runPostedEvents;

// FIFO across threads: the tasks run in the order their posts happened, whichever thread made
// them (the posts are ordered by a lock that records them).
TEST(QtMainQueue, RunsTasksOnTheMainThreadInPostingOrderAcrossThreads) {
    QtMainQueue queue;
    constexpr int kThreads = 4;
    constexpr int kTasks = 300;
    std::mutex postMutex;
    std::vector<std::pair<int, int>> posted;  // postMutex: (thread, task) in the order of the posts
    std::vector<std::pair<int, int>> ran;     // touched by the tasks only, on the main thread
    int offMain = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i) {
                std::lock_guard lock(postMutex);
                posted.emplace_back(t, i);
                queue.post([&, t, i] {
                    offMain += queue.isMainThread() ? 0 : 1;
                    ran.emplace_back(t, i);
                });
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(ran.empty()) << "tasks ran before the event loop came round";
    runPostedEvents();

    ASSERT_EQ(ran.size(), std::size_t{kThreads * kTasks});
    EXPECT_EQ(offMain, 0);
    EXPECT_EQ(ran, posted) << "the tasks ran in another order than they were posted";
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

// The queue's clock is fake and never moves, so the bound never ends a wait: only the shutdown
// can answer.
TEST(QtMainQueue, PostSyncIsUnavailableOnceTheQuitBegan) {
    platform::FakeClock clock;
    QtMainQueue queue(clock);
    bool ran = false;

    // A worker already waiting for the main thread, which is busy with the quit.
    std::optional<bool> waited = true;
    std::atomic<bool> returned{false};
    std::thread waiting([&] {
        waited = queue.postSync([&] { ran = true; });
        returned = true;
    });
    while (clock.pendingTimers() == 0) std::this_thread::yield();  // its bound is set: it waits
    queue.beginShutdown();
    const bool endedByShutdown = test::pollFor([&] { return returned.load(); }, 1ms);
    if (!endedByShutdown) clock.advance(platform::MainQueue::kSyncBound);  // let the test end
    waiting.join();
    EXPECT_TRUE(endedByShutdown) << "the waiting call was not ended by the shutdown";
    EXPECT_EQ(waited, false);

    // A call made after the quit began is answered without the main thread's help.
    std::optional<int> answer = 0;
    std::thread late([&] { answer = queue.postSync([] { return 1; }); });
    late.join();
    EXPECT_EQ(answer, std::nullopt);

    runPostedEvents();
    EXPECT_FALSE(ran) << "an abandoned call ran after all";
}

TEST(QtMainQueue, PostSyncIsUnavailableOnceTheEventLoopEnded) {
    platform::FakeClock clock;
    QtMainQueue queue(clock);
    int ranInLoop = 0;
    queue.post([&] {
        ++ranInLoop;
        QCoreApplication::quit();
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(ranInLoop, 1);
    ASSERT_TRUE(queue.isShuttingDown()) << "the loop's end did not begin the shutdown";

    std::optional<int> answer = 0;
    std::thread worker([&] { answer = queue.postSync([] { return 1; }); });
    worker.join();
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
