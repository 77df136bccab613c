// Searcher over synthetic indexes of 1M and 10M entries built through the engine's append API
// (folders of 50 files, deterministic names of about 20 bytes, one in eight non-ASCII):
// full evaluations of a selective and a common substring, a wildcard, a regular expression and an
// extension filter, and one narrowing keystroke, on 1 thread and on all threads. Each benchmark
// reports the p50 and p95 latency of its iterations in ms, the resident size in MB, and per entry
// the bytes of the index's arrays and of the whole process.
//
//   build-release/bench/bench_searcher --benchmark_filter='/1000000/'
//
// With QUORVANTA_BENCH_NAMES=PATH the 1M (or, with QUORVANTA_BENCH_ENTRIES=10000000, the 10M)
// names are written there one per line and the program exits, for bench/searcher_vs_peers.sh.
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "QuorvantaCore/search/Searcher.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace quorvanta::core;

constexpr std::uint32_t kFilesPerFolder = 50;

std::string fileName(std::uint32_t i) {
    static const char* words[] = {"Report", "holiday", "IMG", "track", "invoice", "draft", "backup", "Café"};
    static const char* exts[] = {"pdf", "jpg", "mp3", "txt", "flac", "png", "docx"};
    return std::string(words[i % 8]) + "_" + std::to_string(i * 2654435761u % 100000000u) + "." + exts[i % 7];
}

// An index of about `entries` entries: one root, folders under it, 50 files in each.
std::shared_ptr<VolumeIndex> syntheticIndex(std::uint32_t entries) {
    static std::map<std::uint32_t, std::shared_ptr<VolumeIndex>> built;
    auto& slot = built[entries];
    if (slot) return slot;
    slot = VolumeIndex::create(VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, {});
    fidx* h = slot->s();
    fidx_listing batch{};
    quorvanta::index_engine::addRecord(batch, "/bench", 6, 0, 0, 0, FIDX_FOLDER | FIDX_ROOT);
    quorvanta::index_engine::commit(h, batch, FIDX_NONE);
    const std::uint32_t folders = entries / (kFilesPerFolder + 1);
    std::vector<std::uint32_t> all(kFilesPerFolder);
    std::iota(all.begin(), all.end(), 0u);
    std::uint32_t file = 0;
    for (std::uint32_t f = 0; f < folders; ++f) {
        quorvanta::index_engine::resetBatch(batch);
        const std::string dir = "folder " + std::to_string(f);
        quorvanta::index_engine::addRecord(batch, dir.data(), dir.size(), 0, 0, 0, FIDX_FOLDER);
        const std::uint32_t zero = 0;
        const std::uint32_t folder = fidx_append(h, 0, &batch, &zero, 1);
        quorvanta::index_engine::resetBatch(batch);
        for (std::uint32_t i = 0; i < kFilesPerFolder; ++i, ++file) {
            const std::string name = fileName(file);
            quorvanta::index_engine::addRecord(batch, name.data(), name.size(), file * 37ull % 10000000,
                                               1600000000 + file, 0, 0);
        }
        fidx_append(h, folder, &batch, all.data(), kFilesPerFolder);
    }
    fidx_listing_free(&batch);
    return slot;
}

double residentMB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * 4096.0 / 1048576.0;
}

Term name(std::string s) { return {false, Pred::Name{std::move(s)}, false}; }

struct Case {
    const char* label;
    Query q;
    Query before;  // searched first (untimed) for the narrowing case; empty otherwise
};

std::vector<Case> cases() {
    return {
        {"substring_selective", Query{{{name("12345")}}}, {}},
        {"substring_common", Query{{{name("report")}}}, {}},
        {"glob_mp3", Query{{{{false, Pred::Glob{"*.mp3"}, false}}}}, {}},
        {"regex", Query{{{{false, Pred::Regex{"^img_[0-9]*4\\.jpg$"}, false}}}}, {}},
        {"ext_flac", Query{{{{false, Pred::Ext{{"flac"}}, false}}}}, {}},
        {"narrowing_keystroke", Query{{{name("invoice_12")}}}, Query{{{name("invoice_1")}}}},
    };
}

void BM_Search(benchmark::State& state) {
    const auto entries = static_cast<std::uint32_t>(state.range(0));
    const int threads = state.range(1) == 0 ? static_cast<int>(std::thread::hardware_concurrency()) : 1;
    const Case c = cases()[state.range(2)];
    const auto index = syntheticIndex(entries);
    std::vector<double> ms;
    std::size_t hits = 0;
    std::uint64_t narrowed = 0;
    for (auto _ : state) {
        // A fresh searcher each time: its cache would answer a repeated query by narrowing.
        Searcher searcher(index);
        searcher.threads = threads;
        if (!c.before.groups.empty()) {
            state.PauseTiming();
            hits = searcher.search(c.before, false)->size();
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        const auto result = searcher.search(c.q, false);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(result);
        if (c.before.groups.empty()) hits = result->size();
        narrowed += searcher.narrowingsForTesting();
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p95_ms"] = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    state.counters["hits"] = double(hits);
    state.counters["narrowed"] = double(narrowed);
    state.counters["rss_MB"] = residentMB();
    state.counters["arrays_B_per_entry"] = double(index->arrayBytes()) / index->count();
    state.counters["rss_B_per_entry"] = residentMB() * 1048576.0 / index->count();
    state.SetLabel(std::string(c.label) + (threads == 1 ? " 1 thread" : " all threads"));
}

template <long Entries>
void args(benchmark::internal::Benchmark* b) {
    for (const long threads : {1L, 0L})
        for (long c = 0; c < static_cast<long>(cases().size()); ++c) b->Args({Entries, threads, c});
}
BENCHMARK(BM_Search)->Apply(args<1000000>)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Search)->Apply(args<10000000>)->Unit(benchmark::kMillisecond)->Iterations(5);

// Writes the names one per line when asked to, before the benchmarks run.
const bool namesWritten = [] {
    const char* path = std::getenv("QUORVANTA_BENCH_NAMES");
    if (!path) return false;
    const char* count = std::getenv("QUORVANTA_BENCH_ENTRIES");
    const auto index = syntheticIndex(count ? static_cast<std::uint32_t>(std::strtoul(count, nullptr, 10)) : 1000000);
    std::ofstream out(path);
    for (std::uint32_t e = 1; e < index->count(); ++e) out << index->name(e) << '\n';
    out.close();  // std::exit destroys no local: flush before it
    std::exit(out ? 0 : 1);
}();

}  // namespace
