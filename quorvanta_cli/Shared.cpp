#include "quorvanta_cli/Shared.h"

#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Tool.h"

#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/query/QueryParser.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
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

std::shared_ptr<core::VolumeIndex> build(Cli& cli, const std::vector<std::string>& roots) {
    const double start = now();
    const int threads = engineThreads(cli.args.number(options::scanThreads));
    std::shared_ptr<core::VolumeIndex> index;
    try {
        index = core::VolumeIndex::scanned(roots, threads);
    } catch (const core::IndexError& error) {
        cli.out << "error: " << error.what() << '\n';
        endRun(kFailed);
    }
    const std::uint32_t count = index->count();
    const scan_stats stats = index->stats();
    const double bytesPerEntry = count > 0 ? static_cast<double>(index->arrayBytes()) / count : 0;
    cli.err << "indexed " << count << " entries in " << fmt(now() - start) << " s (errors " << stats.errors
            << ", enoent " << stats.enoent << ", nested skipped " << stats.nested << "); arrays " << fmt(bytesPerEntry)
            << " B/entry, rss " << fmt(rssMB()) << " MB\n";
    return index;
}

core::Query parseQuery(const std::string& text) {
    return core::QueryParser::parse(text, std::chrono::system_clock::now(), core::Calendar::current());
}

core::Query parseQueryOrEnd(Cli& cli, const std::string& text) {
    try {
        return parseQuery(text);
    } catch (const core::QueryError& error) {
        cli.out << "query error: " << error.description() << '\n';
        endRun(kRefused);
    }
}

void printHits(std::ostream& out, const core::VolumeIndex& index, const std::vector<std::uint32_t>& hits) {
    for (const std::uint32_t i : hits) {
        const bool folder = index.flags(i).contains(core::EntryFlags::dir);
        out << (folder ? "d" : "-") << '\t' << (folder ? 0 : index.size(i)) << '\t' << index.path(i) << '\n';
    }
}

std::set<std::string> dump(const core::VolumeIndex& index) {
    std::set<std::string> entries;
    const std::uint32_t count = index.count();
    for (std::uint32_t i = 0; i < count; ++i) {
        const core::EntryFlags flags = index.flags(i);
        if (flags.contains(core::EntryFlags::deleted)) continue;
        entries.insert(index.path(i) + "|" + std::to_string(flags.rawValue) + "|" + std::to_string(index.size(i)) +
                       "|" + std::to_string(index.mtime(i)) + "|" + std::to_string(index.ctime(i)));
    }
    return entries;
}

}  // namespace quorvanta::cli
