// The duplicate finder's hash stages (size, quick hash, full hash) over real files.
//
//   bench_duplicate_finder --root DIR [--threads N] [--list FILE]
//       Scans DIR into a volume index and runs the finder once with stages 1-3 over every file
//       of an audio extension of at least 1 byte (as the peers count them), printing the scan
//       time apart from each stage's time and count. --list writes each duplicate set as one
//       line of its paths, sorted and joined by a tab, the lines sorted (bench/dupes_vs_peers.sh
//       compares them with jdupes').
//   bench_duplicate_finder [Google Benchmark flags]
//       BM_DuplicateFinder: the same run over a generated folder of 3,000 files (made once in
//       $TMPDIR/quorvanta-bench-dupes). BM_FullHash/<MiB>: full-hash throughput of one file of
//       $QUORVANTA_BENCH_HASH_MIB MiB (default 64); its blocks are dropped from the page cache as
//       they are hashed, so every run reads from the disk.
#include "QuorvantaCore/index/VolumeIndex.h"
#include "audio/dupes/DuplicateFinder.h"
#include "audio/dupes/FileHash.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quorvanta::audio::DupGroup;
using quorvanta::audio::DuplicateFinder;
using quorvanta::audio::DupStage;
using quorvanta::core::VolumeIndex;
using Clock = std::chrono::steady_clock;

DuplicateFinder::Options hashStages(std::int64_t threads) {
    DuplicateFinder::Options options;
    options.stages = {DupStage::size, DupStage::quickHash, DupStage::fullHash};
    options.minSize = 1;
    options.threads = threads;
    return options;
}

std::string benchTmp() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// 3,000 files: 2,400 originals of 1-256 KiB (log-uniform), 400 copies, 200 near misses that
// differ from an original only in one middle byte.
fs::path generatedFolder() {
    const fs::path root = fs::path(benchTmp()) / "quorvanta-bench-dupes";
    if (fs::exists(root / ".complete")) return root;
    fs::remove_all(root);
    fs::create_directories(root);
    std::mt19937_64 rng(42);
    std::vector<std::string> originals;
    for (int i = 0; i < 2400; ++i) {
        const auto size = static_cast<std::size_t>(std::exp2(10 + 8 * std::uniform_real_distribution<>(0, 1)(rng)));
        std::string bytes(size, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng());
        writeFile(root / ("o" + std::to_string(i) + ".mp3"), bytes);
        originals.push_back(std::move(bytes));
    }
    for (int i = 0; i < 400; ++i)
        writeFile(root / ("c" + std::to_string(i) + ".flac"), originals[rng() % originals.size()]);
    int traps = 0;
    for (std::size_t i = 0; traps < 200 && i < originals.size(); ++i) {
        std::string bytes = originals[i];
        if (bytes.size() <= quorvanta::audio::FileHash::kQuickWholeLimit) continue;
        bytes[bytes.size() / 2] ^= 0x01;
        writeFile(root / ("t" + std::to_string(traps++) + ".wav"), bytes);
    }
    std::ofstream(root / ".complete") << "";
    return root;
}

void BM_DuplicateFinder(benchmark::State& state) {
    const auto volume = VolumeIndex::scanned({generatedFolder().string()}, 8);
    std::size_t groups = 0;
    for (auto _ : state) {
        DuplicateFinder finder({volume}, hashStages(state.range(0)));
        groups = finder.run({}).size();
    }
    state.counters["groups"] = static_cast<double>(groups);
}
BENCHMARK(BM_DuplicateFinder)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// QUORVANTA_BENCH_HASH_MIB sets the file size (default 64).
long hashMiB() {
    const char* v = std::getenv("QUORVANTA_BENCH_HASH_MIB");
    return v ? std::max(1L, std::atol(v)) : 64;
}

void BM_FullHash(benchmark::State& state) {
    const std::uint64_t size = static_cast<std::uint64_t>(state.range(0)) << 20;
    const fs::path file = fs::path(benchTmp()) / ("quorvanta-bench-fullhash-" + std::to_string(state.range(0)));
    if (!fs::exists(file) || fs::file_size(file) != size) {
        std::mt19937_64 rng(7);
        std::string block(1 << 20, '\0');
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (std::uint64_t at = 0; at < size; at += block.size()) {
            for (auto& c : block) c = static_cast<char>(rng());
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    const std::function<bool()> never = [] { return false; };
    for (auto _ : state) {
        const auto digest = quorvanta::audio::FileHash::full(file.string(), size, never);
        if (!digest) state.SkipWithError("full hash failed");
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FullHash)->Arg(hashMiB())->Unit(benchmark::kMillisecond)->UseRealTime();

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int runOnce(const std::string& root, std::int64_t threads, const std::string& listPath) {
    const auto scanStart = Clock::now();
    const auto volume = VolumeIndex::scanned({root}, 8);
    std::printf("scan       %8.3f s  %u entries\n", since(scanStart), volume->count());

    // Each stage's last report ends it; the stage began where the previous one ended.
    std::map<DupStage, DuplicateFinder::Progress> last;
    std::map<DupStage, double> endedAt;
    const auto start = Clock::now();
    DuplicateFinder finder({volume}, hashStages(threads));
    const auto groups = finder.run([&](const DuplicateFinder::Progress& p) {
        last[p.stage] = p;
        endedAt[p.stage] = since(start);
    });
    const double total = since(start);
    double previous = 0;
    for (const auto& [stage, p] : last) {
        std::printf("%-10s %8.3f s  %lld files, %lld groups\n",
                    stage == DupStage::size        ? "size"
                    : stage == DupStage::quickHash ? "quickHash"
                                                   : "fullHash",
                    endedAt[stage] - previous, static_cast<long long>(p.total), static_cast<long long>(p.groups));
        previous = endedAt[stage];
    }
    std::size_t files = 0;
    std::uint64_t surplus = 0;
    std::vector<std::string> lines;
    for (const DupGroup& g : groups) {
        files += g.members.size();
        surplus += g.surplusBytes();
        std::vector<std::string> paths;
        for (const auto& m : g.members) paths.push_back(m.path);
        std::sort(paths.begin(), paths.end());
        std::string line;
        for (const auto& p : paths) line += (line.empty() ? "" : "\t") + p;
        lines.push_back(line);
    }
    std::printf("finder     %8.3f s  %zu duplicate sets, %zu files in them, %llu surplus bytes\n", total, groups.size(),
                files, static_cast<unsigned long long>(surplus));
    if (!listPath.empty()) {
        std::sort(lines.begin(), lines.end());
        std::ofstream out(listPath);
        for (const auto& line : lines) out << line << '\n';
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, listPath;
    std::int64_t threads = 8;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0)
            root = argv[++i];
        else if (std::strcmp(argv[i], "--threads") == 0)
            threads = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--list") == 0)
            listPath = argv[++i];
    }
    if (!root.empty()) return runOnce(root, threads, listPath);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
