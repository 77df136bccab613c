// Scheduled rescans of network volumes, which are not watched for file events: the interval the
// user sets per source, and the rule that says whether a rescan is due. Stateless; any thread.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

namespace quorvanta::core {

// Raw values "manual", "hourly", "daily"; the settings store the raw value.
enum class RescanInterval { manual, hourly, daily };

inline constexpr std::array<RescanInterval, 3> allRescanIntervals = {RescanInterval::manual, RescanInterval::hourly,
                                                                     RescanInterval::daily};

std::string_view rawValue(RescanInterval interval);
// None for any text that is not one of the three raw values.
std::optional<RescanInterval> rescanIntervalFromRaw(std::string_view text);
// 3600 for hourly, 86400 for daily, none for manual.
std::optional<double> seconds(RescanInterval interval);

namespace RescanSchedule {

// Due when the interval is not manual, the volume is neither busy nor disconnected, and either
// it was never scanned, or at least one interval has passed since `lastScan`, or `lastScan` lies
// more than one interval after `now` (the clock was set back: waiting for it to catch up could
// stop the rescans for months). A `lastScan` less far in the future is not due.
bool isDue(RescanInterval interval, std::optional<std::chrono::system_clock::time_point> lastScan,
           std::chrono::system_clock::time_point now, bool busy, bool connected);

}  // namespace RescanSchedule

}  // namespace quorvanta::core
