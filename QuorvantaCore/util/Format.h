// Byte counts as the short decimal texts the user reads: "999 B", "1.5 KB", "1.0 GB". Units step
// by 1000 up to PB. Pure functions; any thread may call them.
#pragma once

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
};

}  // namespace quorvanta::core
