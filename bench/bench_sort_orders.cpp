// Sort orders of a VolumeIndex over synthetic indexes of 1M and 10M entries (folders of 24
// entries, three levels deep, names with shared prefixes and some non-ASCII letters):
//   BM_Rebuild/<key>/<entries>: one permutation build; the counter peak_MiB is the growth of
//     the process's peak resident size during the build (the build's own memory);
//   BM_Ordered/<key>/<hits>/<extras>: `ordered` with limit 100 over 10M entries, the hits drawn
//     at random; with extras, 1% more entries were appended after the build (and are hits too).
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "bench/ProcessMemory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

namespace {

using quorvanta::bench::statusKiB;
using quorvanta::core::SortKey;
using quorvanta::core::VolumeIndex;
namespace engine = quorvanta::index_engine;

const char* const kStems[] = {"IMG_", "report", "Résumé", "track ", "notes", "Photo", "ÉTÉ", "build-log", "a"};
const char* const kExts[] = {".jpg", ".JPG", ".mp3", ".txt", ".pdf", ".flac", "", ".tar.gz"};

// Appends `entries` entries below the last root: folders of 24 entries, the first 3 of them
// folders, filled breadth-first.
void fill(VolumeIndex& index, std::uint32_t entries, std::mt19937& rng) {
    fidx* h = index.s();
    std::vector<std::uint32_t> folders;
    for (std::uint32_t e = 0; e < fidx_count(h); ++e)
        if (h->flags[e] & FIDX_FOLDER) folders.push_back(e);
    std::size_t next = 0;
    fidx_listing batch{};
    const std::uint32_t end = fidx_count(h) + entries;
    while (fidx_count(h) < end) {
        engine::resetBatch(batch);
        const std::uint32_t n = std::min<std::uint32_t>(24, end - fidx_count(h));
        for (std::uint32_t i = 0; i < n; ++i) {
            std::string name = std::string(kStems[rng() % 9]) + std::to_string(rng() % 100000);
            const bool folder = i < 3;
            if (!folder) name += kExts[rng() % 8];
            engine::addRecord(batch, name.data(), name.size(), folder ? 0 : rng() % (1u << 24),
                              1500000000 + rng() % 200000000, 1400000000 + rng() % 100000000, folder ? FIDX_FOLDER : 0);
        }
        const std::uint32_t first = engine::commit(h, batch, folders[next++ % folders.size()]);
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(3, n); ++i) folders.push_back(first + i);
    }
    fidx_listing_free(&batch);
}

std::shared_ptr<VolumeIndex> makeIndex(std::uint32_t entries) {
    auto index = VolumeIndex::create(VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, {});
    const std::string root = "/data";
    fidx_listing batch{};
    engine::addRecord(batch, root.data(), root.size(), 0, 0, 0, FIDX_FOLDER | FIDX_ROOT);
    engine::commit(index->s(), batch, FIDX_NONE);
    fidx_listing_free(&batch);
    std::mt19937 rng(42);
    fill(*index, entries - 1, rng);
    return index;
}

// One index per size, shared by the benchmarks.
VolumeIndex& indexOf(std::uint32_t entries) {
    static std::map<std::uint32_t, std::shared_ptr<VolumeIndex>> made;
    auto& slot = made[entries];
    if (!slot) slot = makeIndex(entries);
    return *slot;
}

void BM_Rebuild(benchmark::State& state) {
    const auto key = static_cast<SortKey>(state.range(0));
    VolumeIndex& index = indexOf(static_cast<std::uint32_t>(state.range(1)));
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak resident size
        const long before = statusKiB("VmRSS:");
        state.ResumeTiming();
        benchmark::DoNotOptimize(index.rebuildPermutation(key));
        state.PauseTiming();
        peak = std::max(peak, double(statusKiB("VmHWM:") - before) / 1024);
        state.ResumeTiming();
    }
    state.counters["peak_MiB"] = peak;
    state.SetLabel(std::string(quorvanta::core::rawValue(key)));
}

void BM_Ordered(benchmark::State& state) {
    const auto key = static_cast<SortKey>(state.range(0));
    const auto hitCount = static_cast<std::uint32_t>(state.range(1));
    const bool extras = state.range(2) != 0;
    constexpr std::uint32_t kEntries = 10'000'000;
    // The index of the rebuild benchmark, or a second one that grew by 1% after its builds.
    static std::shared_ptr<VolumeIndex> grown;
    if (extras && !grown) {
        grown = makeIndex(kEntries);
        for (const SortKey k : {SortKey::name, SortKey::size, SortKey::path}) grown->rebuildPermutation(k);
        std::mt19937 more(7);
        fill(*grown, kEntries / 100, more);
    }
    VolumeIndex* index = extras ? grown.get() : &indexOf(kEntries);
    if (!index->usablePerm(key)) index->rebuildPermutation(key);
    std::mt19937 rng(1);
    std::vector<std::uint32_t> hits(hitCount);
    for (std::uint32_t& h : hits) h = rng() % index->count();
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    for (auto _ : state) benchmark::DoNotOptimize(index->ordered(hits, key, false, 100, 0));
    state.SetLabel(std::string(quorvanta::core::rawValue(key)) + (extras ? " with extras" : ""));
}

}  // namespace

BENCHMARK(BM_Rebuild)
    ->ArgsProduct({{int(SortKey::name), int(SortKey::path), int(SortKey::size), int(SortKey::date),
                    int(SortKey::created)},
                   {1'000'000, 10'000'000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Ordered)
    ->ArgsProduct({{int(SortKey::name), int(SortKey::size), int(SortKey::path)}, {1'000, 100'000, 1'000'000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
