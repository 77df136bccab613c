// The counters every scan mode fills, in the order of the index engine's statistics record.
#pragma once

#include <cstdint>

namespace quorvanta::cli {

struct ScanStats {
    std::uint64_t files = 0;
    std::uint64_t dirs = 0;
    std::uint64_t other = 0;
    std::uint64_t errors = 0;
    std::uint64_t enoent = 0;
    std::uint64_t bytes = 0;
    std::uint64_t nested = 0;
};

}  // namespace quorvanta::cli
