// Content index over a generated tree of 10,000 text files (about 4 KiB of words each, made once
// in a temporary folder): a first update into an empty database on one thread (documents/s, MB/s
// of text, database size against text size), a repeated update over the unchanged tree, and
// phrase searches for a phrase in every other file and one in three files.
// Run: build-release/bench/bench_content_index --benchmark_min_time=1
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quorvanta::core::ContentIndex;
using quorvanta::core::VolumeIndex;

constexpr int kFiles = 10000;

struct Tree {
    std::string root;
    std::uint64_t textBytes = 0;
    std::shared_ptr<VolumeIndex> index;
};

// Words drawn from a vocabulary of 20,000 with a skewed distribution, as prose has.
std::string words(std::uint64_t& seed, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const std::uint64_t r = (seed >> 33) % 20000;
        text += "w" + std::to_string(r * r / 20000) + (r % 13 == 0 ? ".\n" : " ");
    }
    return text;
}

const Tree& tree() {
    static const Tree made = [] {
        Tree t;
        const char* tmp = std::getenv("TMPDIR");
        t.root = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvanta-bench-content";
        fs::remove_all(t.root);
        std::uint64_t seed = 42;
        for (int i = 0; i < kFiles; ++i) {
            const fs::path folder = fs::path(t.root) / ("d" + std::to_string(i / 100));
            fs::create_directories(folder);
            std::string text = words(seed, 4096);
            if (i % 2 == 0) text += " common shared phrase ";
            if (i % 3333 == 7) text += " rare zebra quartet ";
            t.textBytes += text.size();
            std::ofstream(folder / ("f" + std::to_string(i) + (i % 2 ? ".txt" : ".md")), std::ios::binary) << text;
        }
        t.index = VolumeIndex::scanned({t.root}, 1);
        return t;
    }();
    return made;
}

std::string databasePath() { return tree().root + "-content.sqlite"; }

void removeDatabase() {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(databasePath() + suffix);
}

void BM_FirstUpdate(benchmark::State& state) {
    const Tree& t = tree();
    std::uint64_t dbBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        removeDatabase();
        auto content = std::make_unique<ContentIndex>(databasePath());
        state.ResumeTiming();
        const auto stats = content->update(*t.index, t.root, {t.root});
        if (stats.indexed != kFiles) state.SkipWithError("not every file was indexed");
        dbBytes = content->bytes();
    }
    state.counters["docs/s"] =
        benchmark::Counter(static_cast<double>(kFiles) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["text_MB/s"] =
        benchmark::Counter(static_cast<double>(t.textBytes) * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    state.counters["text_MB"] = static_cast<double>(t.textBytes) / 1e6;
    state.counters["db_MB"] = static_cast<double>(dbBytes) / 1e6;
    state.counters["db/text"] = static_cast<double>(dbBytes) / static_cast<double>(t.textBytes);
}
BENCHMARK(BM_FirstUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The databases the later benchmarks read: the tree indexed once.
ContentIndex& filled() {
    static const std::unique_ptr<ContentIndex> content = [] {
        removeDatabase();
        auto c = std::make_unique<ContentIndex>(databasePath());
        c->update(*tree().index, tree().root, {tree().root});
        return c;
    }();
    return *content;
}

void BM_UnchangedUpdate(benchmark::State& state) {
    ContentIndex& content = filled();
    for (auto _ : state) {
        const auto stats = content.update(*tree().index, tree().root, {tree().root});
        if (stats.unchanged != kFiles) state.SkipWithError("files were read again");
    }
}
BENCHMARK(BM_UnchangedUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Search(benchmark::State& state, const char* phrase, std::size_t expected) {
    ContentIndex& content = filled();
    for (auto _ : state) {
        const auto paths = content.search(phrase, 200000);
        if (paths.size() != expected) state.SkipWithError("unexpected number of paths");
        benchmark::DoNotOptimize(paths);
    }
}
BENCHMARK_CAPTURE(BM_Search, common_phrase_5000_files, "common shared phrase", kFiles / 2)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, rare_phrase_3_files, "rare zebra quartet", 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, absent_phrase, "no such words here", 0)->Unit(benchmark::kMicrosecond);

}  // namespace
