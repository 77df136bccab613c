// Snapshot files of synthetic indexes of 1M and 10M entries (50 files per folder, names like
// "track 1234567.mp3"), written to $QUORVANTA_BENCH_DIR (default /dev/shm):
//  - BM_Save: fidx_save with its remap, in bytes of file per second; the counter file_per_array
//    is the file size divided by the index's array bytes (2 x name bytes + 27 x entries + 4).
//  - BM_Load/<entries>/<checked>: loading the file, with and without the pass over the entries.
//  - BM_FirstFindAfterLoad: one fidx_find over the whole folded store of a fresh load (its pages
//    come from the file on first touch).
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "bench/SyntheticIndex.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace quorvanta::index_engine;

constexpr uint32_t kMaxEntries = 0x4000000;
constexpr uint64_t kMaxNameBytes = 0xC0000000ull;

fidx* syntheticIndex(uint32_t entries) {
    static std::map<uint32_t, fidx*> made;
    fidx*& h = made[entries];
    if (h) return h;
    h = fidx_new(kMaxEntries, kMaxNameBytes);
    quorvanta::bench::fillSyntheticEntries(h, entries);
    return h;
}

std::string pathFor(uint32_t entries) {
    const char* dir = std::getenv("QUORVANTA_BENCH_DIR");
    return std::string(dir ? dir : "/dev/shm") + "/qv-bench-" + std::to_string(entries) + ".idx";
}

uint64_t fileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void saveOnce(fidx* h, const std::string& path, benchmark::State& state) {
    fidx_header_block block{};
    if (fidx_save(h, path.c_str(), &block, fidx_count(h), nullptr) != 0) state.SkipWithError("save failed");
}

void BM_Save(benchmark::State& state) {
    fidx* h = syntheticIndex(static_cast<uint32_t>(state.range(0)));
    const std::string path = pathFor(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) saveOnce(h, path, state);
    const uint32_t n = fidx_count(h);
    const double arrayBytes = 2.0 * h->name_off[n] + 27.0 * n + 4;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize(path)));
    state.counters["file_per_array"] = static_cast<double>(fileSize(path)) / arrayBytes;
}
BENCHMARK(BM_Save)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Load(benchmark::State& state) {
    const auto entries = static_cast<uint32_t>(state.range(0));
    const std::string path = pathFor(entries);
    if (fileSize(path) == 0) saveOnce(syntheticIndex(entries), path, state);
    const LoadOptions options{snapshotPagesMappable(), state.range(1) != 0};
    for (auto _ : state) {
        fidx_header_block block{};
        fidx* loaded = loadSnapshot(path.c_str(), kMaxEntries, kMaxNameBytes, &block, options);
        if (!loaded) state.SkipWithError("load failed");
        state.PauseTiming();
        fidx_free(loaded);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Load)
    ->ArgsProduct({{1000000, 10000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void BM_FirstFindAfterLoad(benchmark::State& state) {
    const auto entries = static_cast<uint32_t>(state.range(0));
    const std::string path = pathFor(entries);
    if (fileSize(path) == 0) saveOnce(syntheticIndex(entries), path, state);
    std::vector<uint32_t> out(entries + 64);
    const uint8_t needle[] = {'q', 'u', 'a', 'r', 't', 'z'};
    for (auto _ : state) {
        state.PauseTiming();
        fidx_header_block block{};
        fidx* loaded = fidx_load(path.c_str(), kMaxEntries, kMaxNameBytes, &block);
        if (!loaded) state.SkipWithError("load failed");
        state.ResumeTiming();
        if (loaded)
            benchmark::DoNotOptimize(
                fidx_find(loaded, loaded->folded, needle, 6, 0, fidx_count(loaded), 0, out.data(), nullptr));
        state.PauseTiming();
        fidx_free(loaded);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstFindAfterLoad)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace
