// The date filter's values: a year, a month or a day in the caller's calendar and time zone, or
// "today" / "yesterday", each covering whole local days (23 or 25 hours across a clock change).
// Fills in QueryParser.h.
#include "QuorvantaCore/query/QueryParser.h"
#include "QuorvantaCore/query/ValueSyntax.h"

#include "QuorvantaCore/text/Case.h"

#include <charconv>
#include <limits>
#include <optional>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace value_syntax;
using Instant = Calendar::Instant;

constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();

// An instant as Unix seconds, clamped to the 32-bit range (instants before 1970 become 0).
std::uint32_t clampedSeconds(Instant at) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(at).time_since_epoch().count();
    if (seconds < 0) return 0;
    if (seconds > static_cast<std::int64_t>(kMax)) return kMax;
    return static_cast<std::uint32_t>(seconds);
}

// A decimal integer with an optional "+", ASCII digits only (the text holds no "-": it was
// split there).
std::optional<std::int64_t> datePiece(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Interval {
    Instant start;
    Instant end;  // the first instant after the interval
};

std::optional<Interval> dayInterval(const Calendar& calendar, const Calendar::Day& day) {
    const auto start = calendar.startOfDay(day.year, day.month, day.day);
    const auto end = calendar.startOfDay(day.year, day.month, day.day + 1);
    if (!start || !end) return std::nullopt;
    return Interval{*start, *end};
}

// The interval of a typed year, month or day; none when the date does not exist (the month
// read back differs from the month set: "2023-02-30", month 13) or cannot be built.
std::optional<Interval> dateInterval(const Calendar& calendar, const std::vector<std::int64_t>& fields) {
    const std::int64_t year = fields[0];
    const std::int64_t month = fields.size() > 1 ? fields[1] : 1;
    const std::int64_t day = fields.size() > 2 ? fields[2] : 1;
    // Fields this far out roll into another month in any case; refusing them here keeps the
    // arithmetic below small.
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    const auto start = calendar.startOfDay(year, month, day);
    if (!start) return std::nullopt;
    const auto built = calendar.dayOf(*start);
    if (!built || built->month != month) return std::nullopt;
    std::optional<Instant> end;
    switch (fields.size()) {
        case 1:
            end = calendar.startOfDay(year + 1, 1, 1);
            break;
        case 2:
            end = calendar.startOfDay(year, month + 1, 1);
            break;
        default:
            end = calendar.startOfDay(year, month, day + 1);
            break;
    }
    if (!end) return std::nullopt;
    return Interval{*start, *end};
}

}  // namespace

std::pair<std::uint32_t, std::uint32_t> QueryParser::span(std::string_view piece,
                                                          std::chrono::system_clock::time_point now,
                                                          const Calendar& calendar) {
    const std::string lower = text::lowercased(piece);
    std::optional<Interval> interval;
    if (lower == "today" || lower == "yesterday") {
        if (auto day = calendar.dayOf(std::chrono::floor<std::chrono::milliseconds>(now))) {
            if (lower == "yesterday") --day->day;
            interval = dayInterval(calendar, *day);
        }
    } else {
        std::vector<std::int64_t> fields;
        const auto texts = pieces(lower, "-");
        if (texts.empty() || texts.size() > 3) fail("dm", piece);
        for (const auto field : texts) {
            const auto value = datePiece(field);
            if (!value) fail("dm", piece);
            fields.push_back(*value);
        }
        interval = dateInterval(calendar, fields);
    }
    if (!interval || interval->end <= interval->start) fail("dm", piece);
    return {clampedSeconds(interval->start), clampedSeconds(interval->end - std::chrono::seconds(1))};
}

ClosedRange<std::uint32_t> QueryParser::parseDate(std::string_view value, std::chrono::system_clock::time_point now,
                                                  const Calendar& calendar) {
    if (const auto sides = rangeSides(value)) {
        const auto a = span(sides->first, now, calendar);
        const auto b = span(sides->second, now, calendar);
        // A reversed range shrinks to the first second of its first side.
        return {a.first, std::max(a.first, b.second)};
    }
    const auto [prefix, rest] = splitPrefix(value);
    const auto [first, last] = span(rest, now, calendar);
    return compared(prefix, first, last);
}

}  // namespace quorvanta::core
