// Numbers and dates as the short texts the user reads: byte counts ("999 B", "1.5 KB", "1.0 GB";
// units step by 1000 up to PB), entry and file counts as grouped whole numbers ("1,234,567",
// "1.234.567"), decimals with a range of fraction digits, two-digit dates, and an abbreviated date
// with a shortened time ("Mar 7, 2024, 4:00 PM"). Separators, words and order come from the given
// locale (ICU), never from the process's own. Pure functions; any thread may call them.
#pragma once

#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/util/Locale.h"

#include <cstdint>
#include <string>

namespace quorvanta::core {

struct Format {
    Format() = delete;

    // Up to 999 the plain count and "B"; above, one fraction digit in the locale's notation and
    // the unit. A value that would round to 1000.0 moves to the next unit ("1.0 MB", never
    // "1000.0 KB").
    static std::string size(std::uint64_t bytes, const Locale& locale);

    // `value` grouped as the locale groups, with its separator: "0", "1,234,567" (en, ja),
    // "1.234.567" (de, es, it, nl, pt-BR), "1 234 567" with narrow no-break spaces (fr). Exact
    // over the whole range.
    static std::string count(std::int64_t value, const Locale& locale);

    // `value` in the locale's notation with minFractionDigits to maxFractionDigits fraction
    // digits: 44.1 with 0 to 1 gives "44.1" in English, "44,1" in German; 48.0 gives "48".
    static std::string dec(double value, int minFractionDigits, int maxFractionDigits, const Locale& locale);

    // The day of `secondsSince1970` in the calendar's zone: day, month and year as two digits
    // each, no time, in the locale's order and separators ("03/07/24" in English, "07.03.24" in
    // German, "24/03/07" in Japanese).
    static std::string date(std::int64_t secondsSince1970, const Locale& locale, const Calendar& calendar);

    // `secondsSince1970` in the calendar's zone with the locale's abbreviated month, its order of
    // day, month and year, and its clock (12 or 24 hours): "Mar 7, 2024, 4:00 PM" (a narrow
    // no-break space before PM), "7. März 2024, 16:00".
    static std::string dateTime(std::int64_t secondsSince1970, const Locale& locale,
                                const Calendar& calendar = Calendar::current());
};

}  // namespace quorvanta::core
