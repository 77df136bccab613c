// Reconcile and refresh of a scanned generated tree (bench/TreeGen.h; 1M entries by default):
// reconcile of the unchanged tree and with 1% of its folders touched, at 1 and 8 threads; a
// refresh of 1,000 unchanged folders; the file stat pass over every file of the unchanged tree. bench/reconcile_vs_updatedb.sh runs plocate's updatedb over
// the same tree for comparison. Warm cache, e.g.
//   QUORVANTA_BENCH_TREE=/dev/shm/tree build-release/bench/bench_refresh_reconcile
#include "QuorvantaCore/index/VolumeIndex.h"
#include "bench/TreeGen.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using quorvanta::core::RefreshStats;
using quorvanta::core::VolumeIndex;

// One index of the tree for the whole program (the benchmarks bring it back to the disk's state).
VolumeIndex& scannedTree() {
    static const std::shared_ptr<VolumeIndex> index = [] {
        const std::string root = quorvanta::bench::ensureTree(quorvanta::bench::benchEntries());
        return VolumeIndex::scanned({root}, 8);
    }();
    return *index;
}

std::vector<std::string> folderPaths(const VolumeIndex& index) {
    std::vector<std::string> out;
    for (const std::uint32_t d : index.directories(index.count()))
        if (!index.flags(d).contains(quorvanta::core::EntryFlags::root)) out.push_back(index.path(d));
    return out;
}

void report(benchmark::State& state, const VolumeIndex& index, const RefreshStats& s, std::size_t folders) {
    state.counters["entries"] = static_cast<double>(index.count());
    state.counters["folders"] = static_cast<double>(folders);
    state.counters["listed"] = static_cast<double>(s.listed);
    state.counters["updated"] = static_cast<double>(s.updated);
}

void BM_ReconcileUnchanged(benchmark::State& state) {
    VolumeIndex& index = scannedTree();
    index.reconcileByFolderMtime(8);  // settles whatever changed since the scan
    RefreshStats s;
    for (auto _ : state) s = index.reconcileByFolderMtime(static_cast<int>(state.range(0)));
    report(state, index, s, folderPaths(index).size());
}
BENCHMARK(BM_ReconcileUnchanged)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every hundredth folder gets a new modification time before each run, so each run lists ~1% of
// the folders again and rewrites their own times.
void BM_ReconcileOnePercentTouched(benchmark::State& state) {
    VolumeIndex& index = scannedTree();
    const std::vector<std::string> folders = folderPaths(index);
    RefreshStats s;
    std::int64_t stamp = 1'600'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        ++stamp;
        const timespec t[2] = {{static_cast<time_t>(stamp), 0}, {static_cast<time_t>(stamp), 0}};
        for (std::size_t k = 0; k < folders.size(); k += 100) utimensat(AT_FDCWD, folders[k].c_str(), t, 0);
        state.ResumeTiming();
        s = index.reconcileByFolderMtime(static_cast<int>(state.range(0)));
    }
    report(state, index, s, folders.size());
}
BENCHMARK(BM_ReconcileOnePercentTouched)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefreshThousandFolders(benchmark::State& state) {
    VolumeIndex& index = scannedTree();
    const std::vector<std::string> folders = folderPaths(index);
    std::set<std::string> targets;
    for (std::size_t k = 0; k < folders.size() && targets.size() < 1000;
         k += std::max<std::size_t>(folders.size() / 1000, 1))
        targets.insert(folders[k]);
    index.refresh(targets, {}, 4);
    RefreshStats s;
    for (auto _ : state) s = index.refresh(targets, {}, 4);
    report(state, index, s, folders.size());
}
BENCHMARK(BM_RefreshThousandFolders)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileStatPassUnchanged(benchmark::State& state) {
    VolumeIndex& index = scannedTree();
    quorvanta::core::FileStatStats s;
    for (auto _ : state) s = index.statFilesInPlace(static_cast<int>(state.range(0)), {});
    state.counters["entries"] = static_cast<double>(index.count());
    state.counters["checked"] = static_cast<double>(s.checked);
    state.counters["updated"] = static_cast<double>(s.updated);
}
BENCHMARK(BM_FileStatPassUnchanged)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
