// Scan of a generated tree (bench/TreeGen.h; 1M entries by default) into a fresh index at
// 1, 2, 4 and 8 threads, with the resident size after the scan; and, as a baseline, one thread
// walking the same tree with nftw and one lstat per entry. Run twice for a warm cache, e.g.
//   QUORVANTA_BENCH_TREE=/dev/shm/tree build-release/bench/bench_fidx_scan
#include "QuorvantaCore/index_engine/fidx.h"
#include "bench/TreeGen.h"

#include <benchmark/benchmark.h>

#include <ftw.h>

#include <fstream>

namespace {

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

void BM_Scan(benchmark::State& state) {
    const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
    uint64_t entries = 0;
    double rss = 0;
    for (auto _ : state) {
        fidx* h = fidx_new(0x4000000, 0xC0000000ull);
        scan_stats st{};
        if (fidx_scan(h, root.c_str(), static_cast<int>(state.range(0)), &st) != 0) state.SkipWithError("scan failed");
        entries = fidx_count(h);
        state.PauseTiming();
        rss = std::max(rss, residentMiB());
        fidx_free(h);
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["rss_MiB"] = rss;
}
BENCHMARK(BM_Scan)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

uint64_t walked = 0;
int countEntry(const char*, const struct stat*, int, struct FTW*) {
    ++walked;
    return 0;
}

void BM_NftwLstatBaseline(benchmark::State& state) {
    const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
    for (auto _ : state) {
        walked = 0;
        nftw(root.c_str(), countEntry, 64, FTW_PHYS);
    }
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(walked), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_NftwLstatBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
