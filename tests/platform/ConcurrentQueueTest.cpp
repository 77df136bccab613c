#include "platform/dispatch/ConcurrentQueue.h"

#include "platform/thread/ThreadName.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

using namespace std::chrono_literals;

// Waits (without a time-based assertion) until `done` holds; fails the test after a minute.
template <class Predicate>
bool eventually(Predicate done) {
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(ConcurrentQueue, ShortJobFinishesWhileLongOnesBlock) {
    constexpr std::size_t kBound = 4;
    ConcurrentQueue queue("quorvanta.scan", Qos::utility, kBound);
    std::latch release(1);
    std::atomic<int> longFinished{0};
    for (std::size_t i = 0; i + 1 < kBound; ++i)
        queue.async([&] {
            release.wait();
            longFinished.fetch_add(1);
        });
    std::latch shortDone(1);
    std::string shortThreadName;
    queue.async([&] {
        shortThreadName = currentThreadName();
        shortDone.count_down();
    });
    shortDone.wait();  // would hang if the long jobs starved it
    EXPECT_EQ(longFinished.load(), 0);
    EXPECT_EQ(shortThreadName, "quorvanta.scan");
    release.count_down();
}

TEST(ConcurrentQueue, AtTheBoundLaterJobsWaitInOrder) {
    constexpr std::size_t kBound = 3;
    ConcurrentQueue queue("quorvanta.scan", Qos::utility, kBound);
    std::latch started(kBound);
    std::latch release(1);
    for (std::size_t i = 0; i < kBound; ++i)
        queue.async([&] {
            started.count_down();
            release.wait();
        });
    started.wait();
    std::mutex mutex;  // guards order
    std::vector<int> order;
    std::latch waitersDone(3);
    for (int i = 0; i < 3; ++i)
        queue.async([&, i] {
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
            }
            waitersDone.count_down();
        });
    EXPECT_EQ(queue.threadCount(), kBound) << "a job beyond the bound got a thread";
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(order.empty()) << "a job ran while every thread was busy";
    }
    release.count_down();
    waitersDone.wait();
    EXPECT_EQ(order.size(), 3u);
}

TEST(ConcurrentQueue, BoundOfOneRunsJobsInOrder) {
    ConcurrentQueue queue("quorvanta.scan", Qos::utility, 1);
    std::vector<int> order;  // one thread at a time touches it
    std::latch done(500);
    for (int i = 0; i < 500; ++i)
        queue.async([&, i] {
            order.push_back(i);
            done.count_down();
        });
    done.wait();
    for (int i = 0; i < 500; ++i) ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(ConcurrentQueue, IdleThreadsGoAway) {
    ConcurrentQueue queue("quorvanta.scan", Qos::utility, 8, 0ms);
    std::latch done(8);
    for (int i = 0; i < 8; ++i) queue.async([&] { done.count_down(); });
    done.wait();
    EXPECT_TRUE(eventually([&] { return queue.threadCount() == 0; })) << queue.threadCount() << " threads stayed";
    // And the queue still works afterwards.
    std::latch again(1);
    queue.async([&] { again.count_down(); });
    again.wait();
}

TEST(ConcurrentQueue, DestructionRunsEveryQueuedJobEvenWithLingeringThreads) {
    std::atomic<int> ran{0};
    {
        ConcurrentQueue queue("quorvanta.scan", Qos::utility, 4, 1h);
        for (int i = 0; i < 200; ++i) queue.async([&] { ran.fetch_add(1); });
    }
    EXPECT_EQ(ran.load(), 200);
}

TEST(ConcurrentQueue, ManyProducersNeverExceedTheBound) {
    constexpr std::size_t kBound = 5;
    std::atomic<int> ran{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> peak{0};
    {
        ConcurrentQueue queue("quorvanta.scan", Qos::utility, kBound, 0ms);
        std::vector<std::thread> producers;
        for (int p = 0; p < 6; ++p)
            producers.emplace_back([&] {
                for (int i = 0; i < 300; ++i)
                    queue.async([&] {
                        const int now = inFlight.fetch_add(1) + 1;
                        for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {}
                        inFlight.fetch_sub(1);
                        ran.fetch_add(1);
                    });
            });
        for (auto& t : producers) t.join();
    }
    EXPECT_EQ(ran.load(), 6 * 300);
    EXPECT_LE(peak.load(), static_cast<int>(kBound));
}

TEST(ConcurrentQueue, DelayedJobsFollowTheClock) {
    FakeClock clock;
    ConcurrentQueue queue("quorvanta.scan", Qos::utility, 4, ConcurrentQueue::kDefaultIdleLinger, clock);
    std::atomic<bool> ran{false};
    std::latch done(1);
    queue.asyncAfter(10s, [&] {
        ran = true;
        done.count_down();
    });
    clock.advance(9s);
    EXPECT_EQ(queue.threadCount(), 0u) << "a job not yet due was started";
    EXPECT_FALSE(ran.load());
    clock.advance(1s);
    done.wait();
    EXPECT_TRUE(ran.load());
}

TEST(ConcurrentQueue, CountsEveryJobHandedToIt) {
    FakeClock clock;
    ConcurrentQueue queue("quorvanta.scan", Qos::utility, 4, ConcurrentQueue::kDefaultIdleLinger, clock);
    std::latch done(2);
    queue.async([&] { done.count_down(); });
    queue.asyncAfter(1s, [&] { done.count_down(); });
    EXPECT_EQ(queue.submitted(), 2u) << "a delayed job counts when it is handed over";
    clock.advance(1s);
    done.wait();
    EXPECT_EQ(queue.submitted(), 2u) << "and not again when it falls due";
}

}  // namespace
}  // namespace quorvanta::platform
