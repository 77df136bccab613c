// Routines shared by the subcommands: the clock, number texts, memory figures and the scan
// report line. They run on the main thread; none of them fails (a memory figure that cannot be
// read is 0).
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace quorvanta::cli {

double now();                       // seconds of the monotonic clock
std::string fmt(double x);          // "%.2f"
std::string gb(std::uint64_t bytes);  // "%.2f GB" of bytes / 1e9
double rssMB();                     // resident size in bytes / 1e6
double footprintMB();               // anonymous resident memory plus swap, in bytes / 1e6

// A worker count as the engine takes it: bounded to 1..256 before it is narrowed to an int.
int engineThreads(std::int64_t threads);

// Entries per second truncated toward zero; 0 when seconds is not above 0.
std::uint64_t ratePerSecond(std::uint64_t entries, double seconds);

// One TAB-separated line: label, entries, files, dirs, secs (three decimals), rate, errors,
// enoent, nested. bytes is not printed.
void report(std::ostream& out, std::string_view label, const scan_stats& stats, double seconds);

}  // namespace quorvanta::cli
