// Commit throughput of the index engine: batches of 64 names built with the batch API and
// committed under one parent, as a scan worker does per folder. Items are entries.
#include "QuorvantaCore/index_engine/EngineInternal.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace quorvanta::index_engine;

// Stands in for the system's fold (which lives above the engine): lowers ASCII, copies the rest.
void copyFold(const uint8_t* name, size_t len, uint8_t* out) {
    for (size_t i = 0; i < len; ++i) out[i] = name[i] >= 'A' && name[i] <= 'Z' ? name[i] + 32 : name[i];
}

std::vector<std::string> makeNames(bool nonAscii) {
    std::vector<std::string> names;
    for (int i = 0; i < 64; ++i) {
        std::string n =
            (nonAscii ? "Pr\xC3\xA9sentation \xC3\xA9t\xC3\xA9 " : "Presentation summer ") + std::to_string(i);
        n += i % 4 == 0 ? ".JPG" : i % 4 == 1 ? ".mp3" : i % 4 == 2 ? ".txt" : ".flac";
        names.push_back(std::move(n));
    }
    return names;
}

void commitBatches(benchmark::State& state, bool nonAscii) {
    fidx_set_fold(copyFold);
    const std::vector<std::string> names = makeNames(nonAscii);
    fidx* h = fidx_new(0x4000000, 0xC0000000ull);
    fidx_listing batch{};
    for (auto _ : state) {
        if (fidx_count(h) > 0x4000000 - 128) {
            state.PauseTiming();
            fidx_free(h);
            h = fidx_new(0x4000000, 0xC0000000ull);
            state.ResumeTiming();
        }
        resetBatch(batch);
        for (const std::string& n : names) addRecord(batch, n.data(), n.size(), 4096, 1700000000, 1600000000, 0);
        benchmark::DoNotOptimize(commit(h, batch, 0));
    }
    state.SetItemsProcessed(state.iterations() * 64);
    fidx_listing_free(&batch);
    fidx_free(h);
    fidx_set_fold(nullptr);
}

void BM_CommitAscii(benchmark::State& state) { commitBatches(state, false); }
void BM_CommitNonAscii(benchmark::State& state) { commitBatches(state, true); }

}  // namespace

BENCHMARK(BM_CommitAscii);
BENCHMARK(BM_CommitNonAscii);
