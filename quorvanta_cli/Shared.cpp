#include "quorvanta_cli/Shared.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>

namespace quorvanta::cli {
namespace {

std::string printf1(const char* format, double x) {
    char text[64];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

}  // namespace

double now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto nanos = static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(ts.tv_nsec);
    return static_cast<double>(nanos) / 1e9;
}

std::string fmt(double x) { return printf1("%.2f", x); }

std::string gb(std::uint64_t bytes) { return printf1("%.2f GB", static_cast<double>(bytes) / 1e9); }

double rssMB() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0, resident = 0;
    const long page = sysconf(_SC_PAGESIZE);
    if (!(statm >> size >> resident) || page <= 0) return 0;
    return static_cast<double>(resident) * static_cast<double>(page) / 1e6;
}

double footprintMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    std::uint64_t anonKB = 0, swapKB = 0;
    bool sawAnon = false;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t kb = 0;
        if (!(fields >> key >> kb)) continue;
        if (key == "RssAnon:") {
            anonKB = kb;
            sawAnon = true;
        } else if (key == "VmSwap:") {
            swapKB = kb;
        }
    }
    if (!sawAnon) return 0;
    return static_cast<double>(anonKB + swapKB) * 1024.0 / 1e6;
}

int engineThreads(std::int64_t threads) { return static_cast<int>(std::clamp<std::int64_t>(threads, 1, 256)); }

std::uint64_t ratePerSecond(std::uint64_t entries, double seconds) {
    if (!(seconds > 0)) return 0;
    const double rate = std::trunc(static_cast<double>(entries) / seconds);
    // 2^64 as a double: anything at or above it does not fit.
    constexpr double kLimit = 18446744073709551616.0;
    if (!(rate < kLimit)) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(rate);
}

void report(std::ostream& out, std::string_view label, const scan_stats& stats, double seconds) {
    const std::uint64_t entries = stats.files + stats.dirs + stats.other;
    out << label << "\tentries=" << entries << "\tfiles=" << stats.files << "\tdirs=" << stats.dirs
        << "\tsecs=" << printf1("%.3f", seconds) << "\trate=" << ratePerSecond(entries, seconds)
        << "/s\terrors=" << stats.errors << "\tenoent=" << stats.enoent << "\tnested=" << stats.nested << '\n';
}

}  // namespace quorvanta::cli
