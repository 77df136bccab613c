#include "QuorvantaCore/index/RescanSchedule.h"

namespace quorvanta::core {

std::string_view rawValue(RescanInterval interval) {
    switch (interval) {
        case RescanInterval::manual:
            return "manual";
        case RescanInterval::hourly:
            return "hourly";
        case RescanInterval::daily:
            return "daily";
    }
    return "manual";
}

std::optional<RescanInterval> rescanIntervalFromRaw(std::string_view text) {
    for (const RescanInterval interval : allRescanIntervals)
        if (rawValue(interval) == text) return interval;
    return std::nullopt;
}

std::optional<double> seconds(RescanInterval interval) {
    switch (interval) {
        case RescanInterval::manual:
            return std::nullopt;
        case RescanInterval::hourly:
            return 3600;
        case RescanInterval::daily:
            return 86400;
    }
    return std::nullopt;
}

namespace RescanSchedule {

bool isDue(RescanInterval interval, std::optional<std::chrono::system_clock::time_point> lastScan,
           std::chrono::system_clock::time_point now, bool busy, bool connected) {
    const std::optional<double> every = seconds(interval);
    if (!every || busy || !connected) return false;
    if (!lastScan) return true;
    const auto period =
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(*every));
    // Compared in the clock's own ticks: exactly one interval ago is due. A difference that does
    // not fit the clock's range is more than any interval, either way.
    std::chrono::system_clock::rep elapsed = 0;
    if (__builtin_sub_overflow(now.time_since_epoch().count(), lastScan->time_since_epoch().count(), &elapsed))
        return true;
    if (elapsed >= 0) return elapsed >= period.count();
    return -(elapsed + 1) >= period.count();  // strictly more than one interval ahead, without overflow
}

}  // namespace RescanSchedule

}  // namespace quorvanta::core
