// Dates as the user reads them: an instant written in a time zone (a Calendar) with the fields a
// skeleton asks for ("yyMMdd": two-digit year, month and day), in the order and with the
// separators that ICU's pattern generator gives for the locale. Format::date and the other
// date texts of the windows are built on it.
//
// Threads: any thread may call it. The formatters it keeps, one per locale and skeleton, are
// made on first use and used under one lock.
#pragma once

#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/util/Locale.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvanta::core {

// The instant `secondsSince1970` written in the calendar's zone by the locale's best pattern for
// `skeleton` (an ICU date skeleton). Empty when ICU cannot build a pattern for the skeleton.
std::string formatDate(std::int64_t secondsSince1970, std::string_view skeleton, const Locale& locale,
                       const Calendar& calendar);

}  // namespace quorvanta::core
