#include "platform/time/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <latch>
#include <string>
#include <vector>

namespace quorvanta::platform {
namespace {

using namespace std::chrono_literals;

TEST(ClockFake, TimersFireInDeadlineOrderOnlyWhenReached) {
    FakeClock clock;
    const auto start = clock.now();
    std::vector<std::string> fired;
    std::vector<Clock::Duration> firedAt;
    auto record = [&](std::string name) {
        return [&, name] {
            fired.push_back(name);
            firedAt.push_back(clock.now() - start);
        };
    };
    clock.scheduleAfter(2s, record("two"));
    clock.scheduleAfter(1s, [&, record] {
        record("one")();
        // A timer scheduled while firing fires in the same advance when it falls due.
        clock.scheduleAfter(500ms, record("one-and-a-half"));
        clock.scheduleAfter(5s, record("six"));
    });
    clock.scheduleAfter(1s, record("one-again"));

    clock.advance(999ms);
    EXPECT_TRUE(fired.empty());
    clock.advance(2s);
    EXPECT_EQ(fired, (std::vector<std::string>{"one", "one-again", "one-and-a-half", "two"}));
    EXPECT_EQ(firedAt, (std::vector<Clock::Duration>{1s, 1s, 1500ms, 2s}));
    EXPECT_EQ(clock.now() - start, 2999ms);
    EXPECT_EQ(clock.pendingTimers(), 1u);
    EXPECT_EQ(clock.nextDeadline(), start + 6s);
}

TEST(ClockFake, WallTimeMovesWithMonotonicTime) {
    FakeClock clock(1'000'000.0);
    EXPECT_DOUBLE_EQ(clock.wallSeconds(), 1'000'000.0);
    clock.advance(1500ms);
    EXPECT_DOUBLE_EQ(clock.wallSeconds(), 1'000'001.5);
}

TEST(ClockReal, TimerFiresNotBeforeItsDeadline) {
    RealClock clock;
    const auto deadline = clock.now() + 20ms;
    Clock::TimePoint firedAt{};
    std::latch fired(1);
    clock.schedule(deadline, [&] {
        firedAt = clock.now();
        fired.count_down();
    });
    fired.wait();
    EXPECT_GE(firedAt, deadline);
    // Wall time is Unix time: after 2020 and before 2200.
    EXPECT_GT(clock.wallSeconds(), 1.5e9);
    EXPECT_LT(clock.wallSeconds(), 7.3e9);
}

TEST(ClockReal, PendingTimersNeverFireAfterTheClockIsGone) {
    bool fired = false;
    {
        RealClock clock;
        clock.scheduleAfter(1h, [&] { fired = true; });
    }
    EXPECT_FALSE(fired);
}

}  // namespace
}  // namespace quorvanta::platform
