// µs per FileMeta::load for each kind of file the results table reads facts from, with the files
// in the page cache (each is loaded once before timing); and the time the video probe takes to
// give up on a source whose every read stalls. Fixtures are the FileMeta tests' own, made once
// in a temporary folder with ffmpeg, lame, flac and qpdf.
// Run: build-release/bench/bench_file_meta --benchmark_min_time=1
#include "QuorvantaApp/ResultsTable/FileMeta.h"
#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"
#include "tests/QuorvantaApp/ResultsTable/MetaFixtures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using namespace quorvanta;

const audio::test::ToolFileSet& fixtures() {
    static const audio::test::ToolFileSet files = app::test::makeMetaFixtures("bench-file-meta");
    return files;
}

void BM_Load(benchmark::State& state, const char* name) {
    const auto& files = fixtures();
    if (!audio::test::missingTool(files.programs).empty() || !files.failed.empty()) {
        state.SkipWithError("fixtures could not be made (scripts/install-deps installs the tools)");
        return;
    }
    const std::filesystem::path path = files / name;
    const std::uint64_t size = std::filesystem::file_size(path);
    const std::string ext = path.extension().string().substr(1);
    const app::FileMeta warm = app::FileMeta::load(path.string(), size, ext);
    if (!warm.duration && !warm.w && !warm.pages) {
        state.SkipWithError("the fixture gave no facts");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(app::FileMeta::load(path.string(), size, ext));
}
BENCHMARK_CAPTURE(BM_Load, mp3, "tone.mp3")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, flac, "tone.flac")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, wav, "tone.wav")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, mp4, "video.mp4")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, mp4_cover, "cover.mp4")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, png, "picture.png")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, jpeg, "photo.jpg")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Load, pdf, "three.pdf")->Unit(benchmark::kMicrosecond);

// A source of 64 MiB whose every read takes 50 ms and gives 512 bytes, as a share that stalls
// would: the probe ends at the deadline (kVideoTimeLimit) plus at most one read.
void BM_VideoStalledRead(benchmark::State& state) {
    const app::filemeta::MediaInput stalling{64u << 20,
                                             [](std::uint64_t, std::uint8_t* into, std::size_t count) -> std::int64_t {
                                                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                                 const std::size_t n = std::min<std::size_t>(count, 512);
                                                 std::fill_n(into, n, 0);
                                                 return static_cast<std::int64_t>(n);
                                             }};
    for (auto _ : state)
        benchmark::DoNotOptimize(app::filemeta::videoFacts(stalling, platform::realClock(), app::kVideoTimeLimit));
}
BENCHMARK(BM_VideoStalledRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
