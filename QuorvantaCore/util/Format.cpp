#include "QuorvantaCore/util/Format.h"

#include "QuorvantaCore/util/DateFormat.h"

#include <array>

namespace quorvanta::core {

std::string Format::size(std::uint64_t bytes, const Locale& locale) {
    if (bytes <= 999) return std::to_string(bytes) + " B";
    static constexpr std::array<const char*, 5> kUnits{"KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes) / 1000;
    std::size_t unit = 0;
    // 999.95 and above would print as 1000.0 with one fraction digit.
    while (value >= 999.95 && unit + 1 < kUnits.size()) {
        value /= 1000;
        ++unit;
    }
    return locale.formatNumber(value, 1) + " " + kUnits[unit];
}

std::string Format::count(std::int64_t value, const Locale& locale) { return locale.formatInteger(value); }

std::string Format::dec(double value, int minFractionDigits, int maxFractionDigits, const Locale& locale) {
    return locale.formatNumber(value, minFractionDigits, maxFractionDigits);
}

std::string Format::date(std::int64_t secondsSince1970, const Locale& locale, const Calendar& calendar) {
    return formatDate(secondsSince1970, "yyMMdd", locale, calendar);
}

std::string Format::dateTime(std::int64_t secondsSince1970, const Locale& locale, const Calendar& calendar) {
    // Year, abbreviated month, day, the locale's preferred hour (12 or 24) and minutes.
    return formatDate(secondsSince1970, "yMMMdjmm", locale, calendar);
}

}  // namespace quorvanta::core
