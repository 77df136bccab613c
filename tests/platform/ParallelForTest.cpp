#include "platform/dispatch/ParallelFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

// Counts the calls of each index.
struct Tally {
    explicit Tally(std::size_t n) : counts(std::make_unique<std::atomic<int>[]>(n)), n(n) {}
    void hit(std::size_t i) { counts[i].fetch_add(1, std::memory_order_relaxed); }
    // The first index not called exactly once, or n.
    std::size_t firstWrong() const {
        for (std::size_t i = 0; i < n; ++i)
            if (counts[i].load() != 1) return i;
        return n;
    }
    std::unique_ptr<std::atomic<int>[]> counts;
    std::size_t n;
};

TEST(ParallelFor, CallsEveryIndexExactlyOnce) {
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{100'000}}) {
        Tally tally(n);
        parallelFor(n, [&](std::size_t i) { tally.hit(i); });
        EXPECT_EQ(tally.firstWrong(), n) << "n = " << n;
    }
}

TEST(ParallelFor, NestedLoopsComplete) {
    constexpr std::size_t kOuter = 16, kInner = 2000;
    Tally tally(kOuter * kInner);
    parallelFor(kOuter, [&](std::size_t i) { parallelFor(kInner, [&](std::size_t j) { tally.hit(i * kInner + j); }); });
    EXPECT_EQ(tally.firstWrong(), kOuter * kInner);
}

TEST(ParallelFor, ConcurrentCallersShareThePool) {
    constexpr std::size_t kCallers = 6, kN = 20'000;
    std::vector<std::unique_ptr<Tally>> tallies;
    for (std::size_t c = 0; c < kCallers; ++c) tallies.push_back(std::make_unique<Tally>(kN));
    std::vector<std::thread> callers;
    for (std::size_t c = 0; c < kCallers; ++c)
        callers.emplace_back([&, c] { parallelFor(kN, [&](std::size_t i) { tallies[c]->hit(i); }); });
    for (auto& t : callers) t.join();
    for (std::size_t c = 0; c < kCallers; ++c) EXPECT_EQ(tallies[c]->firstWrong(), kN) << "caller " << c;
}

TEST(ParallelFor, RethrowsTheFirstExceptionOnceEveryStartedIterationEnded) {
    std::atomic<int> running{0};
    std::atomic<int> thrown{0};
    int caught = 0;
    try {
        parallelFor(10'000, [&](std::size_t i) {
            running.fetch_add(1);
            if (i % 1000 == 7) {
                thrown.fetch_add(1);
                running.fetch_sub(1);
                throw std::runtime_error("iteration " + std::to_string(i));
            }
            std::this_thread::yield();  // keep iterations in flight on several threads
            running.fetch_sub(1);
        });
    } catch (const std::runtime_error& error) {
        ++caught;
        EXPECT_EQ(std::string(error.what()).rfind("iteration ", 0), 0u);
        EXPECT_EQ(running.load(), 0) << "returned while iterations were still running";
    }
    EXPECT_EQ(caught, 1);
    EXPECT_GE(thrown.load(), 1);
    EXPECT_GE(parallelWidth(), 1u);
}

}  // namespace
}  // namespace quorvanta::platform
