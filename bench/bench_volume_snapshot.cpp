// Snapshots of a VolumeIndex of 1M synthetic entries (bench/SyntheticIndex.h) with all five sort
// orders built, written to $QUORVANTA_BENCH_DIR (default /dev/shm):
//  - BM_VolumeSave: VolumeIndex::save, the permutations moved onto the file's pages included; bytes
//    of file per second, the counter file_mb giving the file size.
//  - BM_VolumeLoad: VolumeIndex::load, the check of every saved permutation included.
//  - BM_VolumePeek: VolumeIndex::peek (the whole file is checked).
#include "QuorvantaCore/index/VolumeIndex.h"
#include "bench/SyntheticIndex.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

using quorvanta::core::SnapshotInfo;
using quorvanta::core::VolumeIndex;

constexpr uint32_t kEntries = 1000000;

std::shared_ptr<VolumeIndex> syntheticIndex() {
    static std::shared_ptr<VolumeIndex> index = [] {
        auto made = VolumeIndex::create(VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, {});
        quorvanta::bench::fillSyntheticEntries(made->s(), kEntries);
        for (const auto key : quorvanta::core::allSortKeys) made->rebuildPermutation(key);
        return made;
    }();
    return index;
}

std::string snapshotPath() {
    const char* dir = std::getenv("QUORVANTA_BENCH_DIR");
    return std::string(dir ? dir : "/dev/shm") + "/qv-bench-volume.idx";
}

uint64_t fileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

SnapshotInfo info() {
    SnapshotInfo i;
    i.uuid = "bench";
    i.root = "/data";
    i.savedAt = std::chrono::system_clock::now();
    return i;
}

void ensureSaved(benchmark::State& state) {
    if (fileSize(snapshotPath()) == 0 && !syntheticIndex()->save(snapshotPath(), info()))
        state.SkipWithError("save failed");
}

void BM_VolumeSave(benchmark::State& state) {
    auto index = syntheticIndex();
    for (auto _ : state)
        if (!index->save(snapshotPath(), info())) state.SkipWithError("save failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize(snapshotPath())));
    state.counters["file_mb"] = static_cast<double>(fileSize(snapshotPath())) / 1e6;
}
BENCHMARK(BM_VolumeSave)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_VolumeLoad(benchmark::State& state) {
    ensureSaved(state);
    for (auto _ : state) {
        auto loaded = VolumeIndex::load(snapshotPath(), {});
        if (!loaded) state.SkipWithError("load failed");
        state.PauseTiming();
        loaded.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize(snapshotPath())));
}
BENCHMARK(BM_VolumeLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_VolumePeek(benchmark::State& state) {
    ensureSaved(state);
    for (auto _ : state)
        if (!VolumeIndex::peek(snapshotPath())) state.SkipWithError("peek failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize(snapshotPath())));
}
BENCHMARK(BM_VolumePeek)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
