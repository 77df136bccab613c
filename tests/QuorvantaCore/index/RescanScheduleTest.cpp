// The rescan interval's raw values and seconds, and when a scheduled rescan is due.
#include "QuorvantaCore/index/RescanSchedule.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

using namespace std::chrono_literals;
using std::chrono::system_clock;

TEST(RescanSchedule, IntervalsByRawValue) {
    struct Case {
        std::string_view raw;
        std::optional<RescanInterval> interval;
        std::optional<double> seconds;
    };
    const std::vector<Case> cases = {
        {"manual", RescanInterval::manual, std::nullopt}, {"hourly", RescanInterval::hourly, 3600},
        {"daily", RescanInterval::daily, 86400},          {"", std::nullopt, std::nullopt},
        {"weekly", std::nullopt, std::nullopt},           {"Hourly", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rescanIntervalFromRaw(c.raw), c.interval) << c.raw;
        if (!c.interval) continue;
        EXPECT_EQ(rawValue(*c.interval), c.raw);
        EXPECT_EQ(seconds(*c.interval), c.seconds) << c.raw;
    }
    EXPECT_EQ(allRescanIntervals, (std::array{RescanInterval::manual, RescanInterval::hourly, RescanInterval::daily}));
}

TEST(RescanSchedule, IsDue) {
    const system_clock::time_point now(1'800'000'000s);
    const auto hourly = RescanInterval::hourly, daily = RescanInterval::daily, manual = RescanInterval::manual;
    struct Case {
        const char* what;
        RescanInterval interval;
        std::optional<system_clock::time_point> lastScan;
        bool busy, connected, due;
    };
    const std::vector<Case> cases = {
        {"manual, never scanned", manual, std::nullopt, false, true, false},
        {"manual, long ago", manual, now - 1000h, false, true, false},
        {"busy, never scanned", hourly, std::nullopt, true, true, false},
        {"disconnected, never scanned", daily, std::nullopt, false, false, false},
        {"busy, long ago", daily, now - 1000h, true, true, false},
        {"never scanned", hourly, std::nullopt, false, true, true},
        {"exactly one hour", hourly, now - 3600s, false, true, true},
        {"3599.9 s", hourly, now - 3599900ms, false, true, false},
        {"one day less a second", daily, now - 86399s, false, true, false},
        {"one day", daily, now - 86400s, false, true, true},
        {"slightly in the future", hourly, now + 10s, false, true, false},
        {"one interval ahead", hourly, now + 3600s, false, true, false},
        {"more than one interval ahead", hourly, now + 3601s, false, true, true},
        {"months ahead", daily, now + 2000h, false, true, true},
        {"the clock's extremes", hourly, system_clock::time_point::max(), false, true, true},
        {"the clock's first instant", hourly, system_clock::time_point::min(), false, true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RescanSchedule::isDue(c.interval, c.lastScan, now, c.busy, c.connected), c.due) << c.what;
    EXPECT_TRUE(
        RescanSchedule::isDue(hourly, system_clock::time_point::max(), system_clock::time_point::min(), false, true));
    EXPECT_TRUE(
        RescanSchedule::isDue(hourly, system_clock::time_point::min(), system_clock::time_point::max(), false, true));
}

}  // namespace
}  // namespace quorvanta::core
