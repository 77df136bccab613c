// Name search in the index engine.
//  - BM_FindStore, BM_FindStoreEveryName: fidx_find over a synthetic store of 1M names with a
//    needle that never occurs and with one that occurs in every name, in bytes per second, for
//    each build of the block compare (plain, SSE2, SSE2 with popcount, AVX2) the processor runs.
//  - BM_TreeFind / BM_TreeGlob: the generated 1M-entry tree (bench/TreeGen.h) scanned into an
//    index; a rare and a common needle over the folded names, and the glob "*.mp3" per entry, on
//    1 and 8 threads with the entry range split across them.
//  - BM_SyntheticFind: synthetic indexes of 1M and 10M entries (bench/SyntheticIndex.h, no tree
//    on disk) searched for a rare needle (one name or none) and a broad one (one name in eight)
//    on 1 and 8 threads; p50 and p95 of the iterations in ms, the arrays' bytes per entry and
//    the resident size per entry.
//      build-release/bench/bench_fidx_find --benchmark_filter=Synthetic
// With QUORVANTA_BENCH_NAMES=PATH the tree's names are also written there one per line, for
// comparing with a line-oriented tool on the same names.
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "bench/ProcessMemory.h"
#include "bench/SyntheticIndex.h"
#include "bench/TreeGen.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace quorvanta::index_engine;

fidx* syntheticIndex() {
    static fidx* h = [] {
        fidx* idx = fidx_new(0x4000000, 0xC0000000ull);
        fidx_listing batch{};
        const char* words[] = {"Report", "holiday", "IMG", "track", "invoice", "draft", "backup", "notes"};
        const char* exts[] = {"pdf", "jpg", "mp3", "txt", "docx", "png"};
        for (uint32_t folder = 0; folder < 20000; ++folder) {
            resetBatch(batch);
            for (uint32_t i = 0; i < 50; ++i) {
                const std::string n =
                    std::string(words[(folder + i) % 8]) + " " + std::to_string(folder * 50 + i) + "." + exts[i % 6];
                addRecord(batch, n.data(), n.size(), 0, 0, 0, 0);
            }
            commit(idx, batch, FIDX_NONE);
        }
        fidx_listing_free(&batch);
        return idx;
    }();
    return h;
}

// Whether this processor runs the build of the search.
template <auto Find>
bool runs() {
#if defined(__x86_64__) && defined(__SSE2__)
    if constexpr (Find == findSse2Popcnt) return hasPopcnt();
    if constexpr (Find == findAvx2) return hasAvx2();
#endif
    return true;
}

// A needle that never occurs, and one that occurs once in every name (the space after its word).
template <auto Find>
void findStore(benchmark::State& state, std::string_view needle) {
    if (!runs<Find>()) {
        state.SkipWithError("not run by this processor");
        return;
    }
    const fidx* h = syntheticIndex();
    const uint32_t n = fidx_count(h);
    std::vector<uint32_t> out(n);
    const auto* bytes = reinterpret_cast<const uint8_t*>(needle.data());
    const auto len = static_cast<uint32_t>(needle.size());
    uint32_t hits = 0;
    for (auto _ : state) benchmark::DoNotOptimize(hits = Find(h, h->folded, bytes, len, 0, n, 0, out.data(), nullptr));
    state.SetBytesProcessed(state.iterations() * int64_t{h->name_off[n]});
    state.counters["hits"] = hits;
}
template <auto Find>
void BM_FindStore(benchmark::State& state) {
    findStore<Find>(state, "quartz");
}
template <auto Find>
void BM_FindStoreEveryName(benchmark::State& state) {
    findStore<Find>(state, " ");
}
BENCHMARK_TEMPLATE(BM_FindStore, findScalar);
#if defined(__SSE2__)
BENCHMARK_TEMPLATE(BM_FindStore, findSse2);
BENCHMARK_TEMPLATE(BM_FindStoreEveryName, findSse2);
#endif
#if defined(__x86_64__) && defined(__SSE2__)
BENCHMARK_TEMPLATE(BM_FindStore, findSse2Popcnt);
BENCHMARK_TEMPLATE(BM_FindStoreEveryName, findSse2Popcnt);
BENCHMARK_TEMPLATE(BM_FindStore, findAvx2);
BENCHMARK_TEMPLATE(BM_FindStoreEveryName, findAvx2);
#endif

fidx* treeIndex() {
    static fidx* h = [] {
        const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
        fidx* idx = fidx_new(0x4000000, 0xC0000000ull);
        fidx_scan(idx, root.c_str(), 8, nullptr);
        if (const char* path = std::getenv("QUORVANTA_BENCH_NAMES")) {
            std::ofstream names(path, std::ios::binary);
            for (uint32_t e = 0; e < fidx_count(idx); ++e)
                names << reinterpret_cast<const char*>(idx->names + idx->name_off[e]) << '\n';
        }
        return idx;
    }();
    return h;
}

// Runs fn(lo, hi) on `threads` threads over equal parts of the index; gives the summed result.
template <class Fn>
uint64_t split(uint32_t n, int threads, Fn fn) {
    std::vector<uint64_t> results(threads);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] { results[t] = fn(uint64_t(n) * t / threads, uint64_t(n) * (t + 1) / threads); });
    for (auto& th : pool) th.join();
    uint64_t sum = 0;
    for (uint64_t r : results) sum += r;
    return sum;
}

void treeFind(benchmark::State& state, const char* needle) {
    const fidx* h = treeIndex();
    const uint32_t n = fidx_count(h);
    std::vector<uint32_t> out(n);
    uint64_t hits = 0;
    for (auto _ : state)
        hits = split(n, static_cast<int>(state.range(0)), [&](uint32_t lo, uint32_t hi) {
            return fidx_find(h, h->folded, reinterpret_cast<const uint8_t*>(needle), std::strlen(needle), lo, hi,
                             FIDX_DELETED, out.data() + lo, nullptr);
        });
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["entries"] = n;
}
void BM_TreeFindRare(benchmark::State& state) { treeFind(state, "9999_49"); }
void BM_TreeFindCommon(benchmark::State& state) { treeFind(state, "file"); }
BENCHMARK(BM_TreeFindRare)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TreeFindCommon)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TreeGlob(benchmark::State& state) {
    const fidx* h = treeIndex();
    const uint32_t n = fidx_count(h);
    const uint8_t pattern[] = {'*', '.', 'm', 'p', '3'};
    uint64_t hits = 0;
    for (auto _ : state)
        hits = split(n, static_cast<int>(state.range(0)), [&](uint32_t lo, uint32_t hi) {
            uint64_t found = 0;
            for (uint32_t e = lo; e < hi; ++e)
                found += fidx_glob_match(pattern, sizeof pattern, h->folded + h->name_off[e],
                                         h->name_off[e + 1] - h->name_off[e] - 1);
            return found;
        });
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_TreeGlob)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// One synthetic index per size, built once.
fidx* syntheticOf(uint32_t entries) {
    static std::map<uint32_t, fidx*> built;
    fidx*& h = built[entries];
    if (!h) {
        h = fidx_new(0x4000000, 0xC0000000ull);
        quorvanta::bench::fillSyntheticEntries(h, entries);
    }
    return h;
}

void BM_SyntheticFind(benchmark::State& state) {
    const auto entries = static_cast<uint32_t>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    const char* needle = state.range(2) ? "track" : "7654321";
    const fidx* h = syntheticOf(entries);
    const uint32_t n = fidx_count(h);
    std::vector<uint32_t> out(n);
    std::vector<double> ms;
    uint64_t hits = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        hits = split(n, threads, [&](uint32_t lo, uint32_t hi) {
            return fidx_find(h, h->folded, reinterpret_cast<const uint8_t*>(needle), std::strlen(needle), lo, hi,
                             FIDX_DELETED, out.data() + lo, nullptr);
        });
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p95_ms"] = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["entries"] = n;
    // The arrays as the snapshot stores them: both name stores, then 27 bytes per entry and the
    // closing name offset.
    state.counters["arrays_B_per_entry"] = (2.0 * h->name_off[n] + 27.0 * n + 4) / n;
    state.counters["rss_B_per_entry"] = quorvanta::bench::statusKiB("VmRSS:") * 1024.0 / n;
    state.SetLabel(std::string(state.range(2) ? "broad" : "rare") + ", " + std::to_string(threads) + " threads");
}
BENCHMARK(BM_SyntheticFind)
    ->ArgsProduct({{1000000, 10000000}, {1, 8}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

}  // namespace
