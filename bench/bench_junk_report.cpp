// The drive clean-up report's aggregation over a synthetic index of 5M entries: a root, 100 area
// folders, then folders of 50 files. Every 50th folder is a junk folder (recycle bins, volume
// information, trash and recovered-file folders; every other one holds its files one folder
// deeper), and every 7th plain folder holds a ".DS_Store", so about 2% of the entries are junk
// files, nearly all of them named by a folder above them.
#include "QuorvantaCore/index/JunkReport.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using quorvanta::core::VolumeIndex;
using namespace quorvanta::index_engine;

constexpr uint32_t kEntries = 5000000;

uint32_t commitOne(fidx* h, fidx_listing& batch, uint32_t parent, const std::string& name, uint8_t flags) {
    resetBatch(batch);
    addRecord(batch, name.data(), name.size(), 0, 0, 0, flags);
    return commit(h, batch, parent);
}

std::shared_ptr<VolumeIndex> junkIndex() {
    static std::shared_ptr<VolumeIndex> index = [] {
        auto made = VolumeIndex::create(VolumeIndex::defaultMaxEntries, VolumeIndex::defaultMaxNameBytes, {});
        fidx* h = made->s();
        const char* junkFolders[] = {"$RECYCLE.BIN", "System Volume Information", ".Trashes", "FOUND.000"};
        fidx_listing batch{};
        const uint32_t root = commitOne(h, batch, FIDX_NONE, "/data", FIDX_FOLDER | FIDX_ROOT);
        uint32_t areas[100];
        for (uint32_t a = 0; a < 100; ++a)
            areas[a] = commitOne(h, batch, root, "area " + std::to_string(a), FIDX_FOLDER);
        for (uint32_t folder = 0; fidx_count(h) < kEntries; ++folder) {
            const bool junk = folder % 50 == 0;
            const uint8_t fileFlags = junk ? FIDX_JUNK : 0;
            uint32_t parent =
                junk ? commitOne(h, batch, areas[folder % 100], junkFolders[folder / 50 % 4], FIDX_FOLDER | FIDX_JUNK)
                     : commitOne(h, batch, areas[folder % 100], "folder " + std::to_string(folder), FIDX_FOLDER);
            if (junk && folder % 100 == 0) parent = commitOne(h, batch, parent, "kept", FIDX_FOLDER | FIDX_JUNK);
            resetBatch(batch);
            for (uint32_t i = 0; i < 50; ++i) {
                const uint32_t n = folder * 50 + i;
                const std::string name = "file " + std::to_string(n) + ".dat";
                addRecord(batch, name.data(), name.size(), n % 100000, n, n, fileFlags);
            }
            if (!junk && folder % 7 == 0) addRecord(batch, ".DS_Store", 9, 6148, 0, 0, FIDX_JUNK | FIDX_HIDDEN);
            commit(h, batch, parent);
        }
        fidx_listing_free(&batch);
        return made;
    }();
    return index;
}

void BM_JunkAggregate(benchmark::State& state) {
    const auto index = junkIndex();
    int64_t junkFiles = 0;
    size_t rows = 0;
    for (auto _ : state) {
        const auto result = quorvanta::core::JunkReport::aggregate(*index);
        benchmark::DoNotOptimize(result.data());
        rows = result.size();
        junkFiles = 0;
        for (const auto& row : result) junkFiles += row.files;
    }
    state.counters["entries"] = index->count();
    state.counters["junk_files"] = static_cast<double>(junkFiles);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(index->count()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_JunkAggregate)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
