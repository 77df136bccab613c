// Routines shared by the subcommands: the clock, number texts, memory figures, the scan report
// line, and building, printing and comparing a volume index. They run on the main thread. None
// fails except `build`, which ends the run (a memory figure that cannot be read is 0).
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index_engine/fidx.h"
#include "QuorvantaCore/query/Query.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::cli {

struct Cli;

double now();                         // seconds of the monotonic clock
std::string fmt(double x);            // "%.2f"
std::string gb(std::uint64_t bytes);  // "%.2f GB" of bytes / 1e9
double rssMB();                       // resident size in bytes / 1e6
double footprintMB();                 // anonymous resident memory plus swap, in bytes / 1e6

// A worker count as the engine takes it: bounded to 1..256 before it is narrowed to an int.
int engineThreads(std::int64_t threads);

// Entries per second truncated toward zero; 0 when seconds is not above 0.
std::uint64_t ratePerSecond(std::uint64_t entries, double seconds);

// One TAB-separated line: label, entries, files, dirs, secs (three decimals), rate, errors,
// enoent, nested. bytes is not printed.
void report(std::ostream& out, std::string_view label, const scan_stats& stats, double seconds);

// A new index holding every root, scanned one after another with the number of --threads
// workers (options::scanThreads). Writes its summary line on cli.err. When a root cannot be opened or the
// scan is cancelled, prints "error: " and the error's printed form on cli.out and ends the run
// with status 1.
std::shared_ptr<core::VolumeIndex> build(Cli& cli, const std::vector<std::string>& roots);

// The query text parsed with the current time and the local calendar; throws QueryError.
core::Query parseQuery(const std::string& text);
// As parseQuery, but a text the parser rejects prints "query error: " and the error's printed form on cli.out and ends the run with status 2.
core::Query parseQueryOrEnd(Cli& cli, const std::string& text);

// One line per hit, in the given order: "d" for a folder or "-", TAB, the size (0 for folders),
// TAB, the full path.
void printHits(std::ostream& out, const core::VolumeIndex& index, const std::vector<std::uint32_t>& hits);

// "<path>|<flags>|<size>|<mtime>|<ctime>" of every entry not flagged deleted: two indexes of the
// same tree give equal sets whatever the order of their entries.
std::set<std::string> dump(const core::VolumeIndex& index);

}  // namespace quorvanta::cli
