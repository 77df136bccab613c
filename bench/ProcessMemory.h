// Memory figures of this process as the kernel counts them, for benchmarks that report what a build
// or a load costs.
#pragma once

#include <fstream>
#include <string>

namespace quorvanta::bench {

// A "kB" field of /proc/self/status ("VmRSS:", "VmHWM:"); 0 when it is missing.
inline long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return 0;
}

}  // namespace quorvanta::bench
