// The property every "scan-times.json" text must keep, shared by the fuzz harness and the unit
// test's seeded mutations: any bytes read as a record (empty when damaged), and the record read
// back from its own text has the same keys with the same dates to the microsecond.
#pragma once

#include "QuorvantaCore/index/ScanTimes.h"

#include <chrono>
#include <string_view>

namespace quorvanta::fuzz {

inline bool scanTimesRoundTrip(std::string_view bytes) {
    using core::ScanTimes;
    const ScanTimes record = ScanTimes::fromJSON(bytes);
    const ScanTimes again = ScanTimes::fromJSON(record.toJSON());
    if (again.times.size() != record.times.size()) return false;
    for (const auto& [key, date] : record.times) {
        const auto found = again.times.find(key);
        if (found == again.times.end()) return false;
        const auto apart = found->second > date ? found->second - date : date - found->second;
        if (apart > std::chrono::microseconds(1)) return false;
    }
    return true;
}

}  // namespace quorvanta::fuzz
