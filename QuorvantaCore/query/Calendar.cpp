#include "QuorvantaCore/query/Calendar.h"

#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <string>
#include <utility>

namespace quorvanta::core {
namespace {

// A fresh lenient Gregorian calendar over a copy of the zone (ICU calendars are not thread-safe,
// so none is shared).
std::unique_ptr<icu::GregorianCalendar> makeCalendar(const icu::TimeZone& zone) {
    UErrorCode status = U_ZERO_ERROR;
    auto calendar = std::make_unique<icu::GregorianCalendar>(zone, icu::Locale::getRoot(), status);
    if (U_FAILURE(status)) return nullptr;
    calendar->setLenient(true);
    calendar->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    return calendar;
}

bool inYearRange(std::int64_t year) { return year >= -Calendar::kYearLimit && year <= Calendar::kYearLimit; }

}  // namespace

Calendar Calendar::current() { return Calendar(std::shared_ptr<const icu::TimeZone>(icu::TimeZone::createDefault())); }

std::optional<Calendar> Calendar::named(std::string_view zoneID) {
    const auto id = icu::UnicodeString::fromUTF8(icu::StringPiece(zoneID.data(), static_cast<int32_t>(zoneID.size())));
    std::shared_ptr<const icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return std::nullopt;
    return Calendar(std::move(zone));
}

std::optional<Calendar::Day> Calendar::dayOf(Instant at) const {
    auto calendar = makeCalendar(*zone_);
    if (!calendar) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(static_cast<UDate>(at.time_since_epoch().count()), status);
    const Day day{calendar->get(UCAL_EXTENDED_YEAR, status), calendar->get(UCAL_MONTH, status) + 1,
                  calendar->get(UCAL_DATE, status)};
    if (U_FAILURE(status)) return std::nullopt;
    return day;
}

std::optional<Calendar::Instant> Calendar::startOfDay(std::int64_t year, std::int64_t month, std::int64_t day) const {
    // Roll the month into the year here, so that ICU only ever sees a month of 0 to 11 and a
    // year inside the limit; the day is bounded to what a few months of roll-over can need.
    const std::int64_t monthIndex = month - 1;
    if (monthIndex < -12 * kYearLimit || monthIndex > 12 * kYearLimit) return std::nullopt;
    std::int64_t yearShift = monthIndex / 12;
    std::int64_t month0 = monthIndex % 12;
    if (month0 < 0) {
        month0 += 12;
        --yearShift;
    }
    if (year < -kYearLimit || year > kYearLimit || !inYearRange(year + yearShift)) return std::nullopt;
    if (day < -400 || day > 400) return std::nullopt;

    auto calendar = makeCalendar(*zone_);
    if (!calendar) return std::nullopt;
    calendar->clear();
    calendar->set(UCAL_EXTENDED_YEAR, static_cast<int32_t>(year + yearShift));
    calendar->set(UCAL_MONTH, static_cast<int32_t>(month0));
    calendar->set(UCAL_DATE, static_cast<int32_t>(day));
    calendar->set(UCAL_HOUR_OF_DAY, 0);
    calendar->set(UCAL_MINUTE, 0);
    calendar->set(UCAL_SECOND, 0);
    calendar->set(UCAL_MILLISECOND, 0);
    UErrorCode status = U_ZERO_ERROR;
    const UDate millis = calendar->getTime(status);
    if (U_FAILURE(status) || !std::isfinite(millis)) return std::nullopt;
    return Instant(std::chrono::milliseconds(static_cast<std::int64_t>(millis)));
}

}  // namespace quorvanta::core
