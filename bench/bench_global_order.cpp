// The global name order over synthetic volumes (SyntheticIndex.h: a root and folders of 50 files
// named like "track 1234567.mp3"; every volume holds the same names, so equal names across volumes
// are the rule, as for backups and mirrored drives):
//   BM_Build/<volumes>/<entries per volume>: `GlobalOrder::build` over volumes whose name orders
//     exist already (as after a scan); peak_MiB is the growth of the process's peak resident size
//     during the build;
//   BM_MergeGlobal/<hits>/<descending>: `mergeGlobal` over a file-backed order of 4 x 2,500,000 =
//     10,000,000 rows, the hits drawn at random over all four volumes;
//   BM_Merge/<hits>: `merge` of the same hits, each volume's list already in name order;
//   BM_OrderedThenMerge/<hits>: each volume's `ordered` by name, then `merge`: what a name-ordered
//     search pays without the global order.
#include "QuorvantaApp/model/search/CrossVolumeMerge.h"
#include "QuorvantaApp/model/search/GlobalMerge.h"
#include "QuorvantaApp/model/search/GlobalOrder.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "bench/ProcessMemory.h"
#include "bench/SyntheticIndex.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using quorvanta::bench::statusKiB;
using quorvanta::app::GlobalOrder;
using quorvanta::core::SortKey;
using quorvanta::core::VolumeIndex;
using Indexes = std::vector<std::shared_ptr<VolumeIndex>>;
using Lists = std::vector<std::vector<std::uint32_t>>;

constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

// `volumes` synthetic volumes of `entries` entries each with their name orders built, shared by
// the benchmarks.
const Indexes& volumesOf(std::uint32_t volumes, std::uint32_t entries) {
    static std::map<std::pair<std::uint32_t, std::uint32_t>, Indexes> made;
    Indexes& slot = made[{volumes, entries}];
    if (slot.empty()) {
        for (std::uint32_t v = 0; v < volumes; ++v) {
            auto index = VolumeIndex::create(VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, {});
            quorvanta::bench::fillSyntheticEntries(index->s(), entries);
            index->rebuildPermutation(SortKey::name);
            slot.push_back(std::move(index));
        }
    }
    return slot;
}

void BM_Build(benchmark::State& state) {
    const Indexes& indexes =
        volumesOf(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1)));
    double peak = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);  // freed memory of earlier rounds would otherwise hide the build's
        std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak resident size
        const long before = statusKiB("VmRSS:");
        state.ResumeTiming();
        auto order = GlobalOrder::build(indexes);
        state.PauseTiming();
        peak = std::max(peak, double(statusKiB("VmHWM:") - before) / 1024);
        rows = order->withRows([](std::span<const std::uint64_t> r) { return r.size(); });
        order.reset();
        state.ResumeTiming();
    }
    state.counters["peak_MiB"] = peak;
    state.counters["rows"] = double(rows);
}

// The four volumes of 2,500,000 entries and their order, file-backed: written to a temporary
// folder, mapped, and the file removed again (the mapping stays).
struct TenMillion {
    const Indexes& indexes = volumesOf(4, 2'500'000);
    std::shared_ptr<const GlobalOrder> order;

    TenMillion() {
        const char* tmp = std::getenv("TMPDIR");
        std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvanta-bench-XXXXXX";
        if (!mkdtemp(folder.data())) std::abort();
        const std::filesystem::path path = std::filesystem::path(folder) / "global.ord";
        order = GlobalOrder::build(indexes)->persisted(path);
        std::filesystem::remove_all(folder);
        if (!order->isFileBacked()) std::abort();
    }
};

const TenMillion& tenMillion() {
    static const TenMillion made;
    return made;
}

// `count` distinct random hits over the volumes (no roots), ascending per volume.
Lists randomHits(const Indexes& indexes, std::size_t count) {
    std::mt19937_64 rng(1);
    Lists hits(indexes.size());
    std::size_t drawn = 0;
    while (drawn < count) {
        for (std::size_t i = drawn; i < count; ++i) {
            const std::size_t v = rng() % indexes.size();
            hits[v].push_back(1 + static_cast<std::uint32_t>(rng() % (indexes[v]->count() - 1)));
        }
        drawn = 0;
        for (auto& list : hits) {
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end()), list.end());
            drawn += list.size();
        }
    }
    return hits;
}

Lists byName(const Indexes& indexes, const Lists& hits) {
    Lists lists;
    for (std::size_t v = 0; v < indexes.size(); ++v)
        lists.push_back(*indexes[v]->ordered(hits[v], SortKey::name, false, kAll, kAll));
    return lists;
}

void BM_MergeGlobal(benchmark::State& state) {
    const TenMillion& t = tenMillion();
    const Lists hits = randomHits(t.indexes, static_cast<std::size_t>(state.range(0)));
    const bool desc = state.range(1) != 0;
    for (auto _ : state) benchmark::DoNotOptimize(quorvanta::app::mergeGlobal(*t.order, hits, t.indexes, desc));
    state.counters["rows"] = double(t.order->withRows([](std::span<const std::uint64_t> r) { return r.size(); }));
}

void BM_Merge(benchmark::State& state) {
    const TenMillion& t = tenMillion();
    const Lists lists = byName(t.indexes, randomHits(t.indexes, static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(quorvanta::app::merge(lists, t.indexes, SortKey::name, false, true));
}

void BM_OrderedThenMerge(benchmark::State& state) {
    const TenMillion& t = tenMillion();
    const Lists hits = randomHits(t.indexes, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quorvanta::app::merge(byName(t.indexes, hits), t.indexes, SortKey::name, false, true));
}

}  // namespace

BENCHMARK(BM_Build)->Args({2, 500'000})->Args({4, 2'500'000})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MergeGlobal)->ArgsProduct({{100, 1'000'000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Merge)->Arg(100)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrderedThenMerge)->Arg(100)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
