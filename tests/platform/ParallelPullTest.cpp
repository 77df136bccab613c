#include "platform/dispatch/CancelFlag.h"
#include "platform/dispatch/ParallelPull.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

// The calls of each item, and the threads that made them.
struct Calls {
    explicit Calls(std::size_t n) : counts(std::make_unique<std::atomic<int>[]>(n)), n(n) {}
    void hit(std::size_t i) {
        counts[i].fetch_add(1, std::memory_order_relaxed);
        std::lock_guard guard(mutex);
        threads.insert(std::this_thread::get_id());
    }
    // How many leading items ran exactly once; every item after them must not have run at all.
    std::size_t prefix() const {
        std::size_t i = 0;
        while (i < n && counts[i].load() == 1) ++i;
        for (std::size_t j = i; j < n; ++j)
            if (counts[j].load() != 0) return static_cast<std::size_t>(-1);
        return i;
    }
    std::unique_ptr<std::atomic<int>[]> counts;
    std::size_t n;
    std::mutex mutex;
    std::set<std::thread::id> threads;  // mutex
};

TEST(ParallelPull, RunsEveryItemOnceOnAtMostTheWorkersAsked) {
    struct Case {
        std::size_t count, workers, chunk, maxThreads;
    };
    const Case cases[] = {
        {0, 4, 1, 0},        // nothing to do
        {1, 4, 16, 1},       // one claim: one worker
        {7, 3, 1, 3},        //
        {10'000, 4, 16, 4},  //
        {10'000, 0, 1, 1},   // no workers asked: one
        {5, 8, 0, 5},        // chunk 0 counts as 1; more workers than items
        {33, 8, 16, 3},      // three claims: at most three workers
    };
    for (const Case& c : cases) {
        const std::string what = "count " + std::to_string(c.count) + ", workers " + std::to_string(c.workers) +
                                 ", chunk " + std::to_string(c.chunk);
        Calls calls(c.count);
        const CancelFlag never;
        parallelPull(c.count, c.workers, c.chunk, never, [&](std::size_t i) { calls.hit(i); });
        EXPECT_EQ(calls.prefix(), c.count) << what;
        EXPECT_LE(calls.threads.size(), c.maxThreads) << what;
    }
}

TEST(ParallelPull, CancelledBeforeStartRunsNothing) {
    Calls calls(100);
    CancelFlag stop;
    stop.cancel();
    parallelPull(100, 4, 1, stop, [&](std::size_t i) { calls.hit(i); });
    EXPECT_EQ(calls.prefix(), 0u);
}

TEST(ParallelPull, CancelEndsTheClaimsInHandAndStartsNoOther) {
    // One worker: the cancel in item 5 lets the rest of its claim [4, 8) run, and nothing after.
    {
        Calls calls(100);
        CancelFlag stop;
        parallelPull(100, 1, 4, stop, [&](std::size_t i) {
            calls.hit(i);
            if (i == 5) stop.cancel();
        });
        EXPECT_EQ(calls.prefix(), 8u);
    }
    // Three workers claiming one item at a time: the items that ran are the first ones, at most
    // one more per other worker after the one that cancelled.
    {
        Calls calls(500);
        CancelFlag stop;
        std::atomic<int> started{0};
        parallelPull(500, 3, 1, stop, [&](std::size_t i) {
            calls.hit(i);
            if (started.fetch_add(1) + 1 == 10) stop.cancel();
        });
        const std::size_t ran = calls.prefix();
        EXPECT_GE(ran, 10u);
        EXPECT_LE(ran, 12u) << "items started after the cancel beyond one per worker";
    }
}

TEST(CancelFlag, IsPermanentAndPublishesWhatWasWrittenBeforeIt) {
    CancelFlag flag;
    EXPECT_FALSE(flag.isCancelled());
    std::string note;  // plain memory, written before the cancel and read after it is seen
    std::thread setter([&] {
        note = "stopped by the user";
        flag.cancel();
    });
    while (!flag.isCancelled()) std::this_thread::yield();
    EXPECT_EQ(note, "stopped by the user");
    setter.join();
    flag.cancel();
    EXPECT_TRUE(flag.isCancelled()) << "a second cancel clears nothing";
}

}  // namespace
}  // namespace quorvanta::platform
