// The Gregorian calendar in one time zone, as the date filters need it: which local day holds an
// instant, and when a local day starts. Backed by ICU; the zone is immutable and shared by copies,
// and every call builds its own ICU calendar, so one Calendar may be used from many threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END

namespace quorvanta::core {

class Calendar {
public:
    using Instant = std::chrono::sys_time<std::chrono::milliseconds>;

    struct Day {
        std::int64_t year;   // astronomical numbering: 0 is 1 BC
        std::int64_t month;  // 1 to 12
        std::int64_t day;    // 1 to 31
        bool operator==(const Day&) const = default;
    };

    // Years farther from year 0 than this are not built; they lie far outside the range of
    // instants that any date filter can hold anyway.
    static constexpr std::int64_t kYearLimit = 1'000'000;

    // The user's zone: the TZ environment variable, else /etc/localtime, else UTC.
    static Calendar current();
    // The zone of an IANA identifier ("Europe/Berlin", "UTC"); none for an unknown identifier.
    static std::optional<Calendar> named(std::string_view zoneID);

    // The local day that holds `at`.
    std::optional<Day> dayOf(Instant at) const;

    // The first instant of the local day year-month-day. A month or day outside its range rolls
    // over (month 13 is January of the next year, day 0 the last day of the month before), so a
    // caller that needs a real date compares the day of the result. Where a clock change skips
    // midnight the day starts at the first instant after the gap. None when the year, after the
    // month rolls into it, lies beyond kYearLimit, when the day lies more than 400 days off the
    // month, or when ICU cannot compute the date.
    std::optional<Instant> startOfDay(std::int64_t year, std::int64_t month, std::int64_t day) const;

    // The zone itself, for formatting instants in it (util/DateFormat.h); it lives as long as
    // this Calendar or any copy of it.
    const icu::TimeZone& zone() const { return *zone_; }

private:
    explicit Calendar(std::shared_ptr<const icu::TimeZone> zone) : zone_(std::move(zone)) {}
    std::shared_ptr<const icu::TimeZone> zone_;
};

}  // namespace quorvanta::core
