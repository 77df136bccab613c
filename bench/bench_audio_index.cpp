// Files per second of AudioIndexer::run over a generated library in the page cache: 2,000
// copies of a 2-second lame-made MP3, each given its own ID3v2.4 tag by the audio tests' tag
// builder, and 1,000 copies of an ffmpeg-made FLAC file, in 30 folders (about 100 MB, removed at
// the end). Every iteration starts from an empty table, so every file is read; a first run before
// the timing warms the cache.
// Run: build-release/bench/bench_audio_index --benchmark_min_time=1
#include "QuorvantaCore/index/VolumeIndex.h"
#include "audio/indexer/AudioIndexer.h"
#include "tests/audio/AudioBytes.h"
#include "tests/audio/ToolFiles.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quorvanta::audio::AudioIndexer;
using quorvanta::audio::Bytes;

constexpr int kMp3Copies = 2000;
constexpr int kFlacCopies = 1000;
constexpr int kFolders = 30;

Bytes readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& p, const Bytes& a, const Bytes& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(a.data()), static_cast<std::streamsize>(a.size()));
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Removes the folder when the program ends.
struct RemovedAtExit {
    fs::path dir;
    ~RemovedAtExit() {
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);
    }
};

// The library's root, made once; empty when a tool is missing or failed.
const std::string& library() {
    static RemovedAtExit made;
    static const std::string root = [] {
        const auto files = quorvanta::audio::test::makeToolFiles(
            "bench-index", {"sox", "lame", "ffmpeg"}, [](const quorvanta::audio::test::FileNamer& d) {
                return std::vector<std::string>{
                    "sox -D -n -r 44100 -c 2 -b 16 " + d("src.wav") + " synth 2 sine 440",
                    "lame --quiet -b 128 " + d("src.wav") + " " + d("plain.mp3"),
                    "ffmpeg -nostdin -y -v error -i " + d("src.wav") + " -c:a flac -metadata artist=Artist " +
                        "-metadata title=Title " + d("plain.flac"),
                };
            });
        made.dir = files.dir;
        if (files.dir.empty() || !files.failed.empty()) return std::string{};
        const Bytes mp3 = readBytes(files / "plain.mp3");
        const Bytes flac = readBytes(files / "plain.flac");
        const fs::path lib = files / "library";
        for (int f = 0; f < kFolders; ++f) fs::create_directories(lib / ("album" + std::to_string(f)));
        for (int i = 0; i < kMp3Copies; ++i) {
            const Bytes tag = quorvanta::audio::test::Id3Builder(4)
                                  .text("TPE1", "Artist " + std::to_string(i % 97))
                                  .text("TIT2", "Song number " + std::to_string(i))
                                  .text("TALB", "Album " + std::to_string(i % 31))
                                  .text("TCON", "Electronic")
                                  .text("TBPM", std::to_string(90 + i % 60))
                                  .text("TDRC", std::to_string(1970 + i % 50))
                                  .build();
            writeBytes(lib / ("album" + std::to_string(i % kFolders)) / ("track" + std::to_string(i) + ".mp3"), tag,
                       mp3);
        }
        for (int i = 0; i < kFlacCopies; ++i)
            writeBytes(lib / ("album" + std::to_string(i % kFolders)) / ("take" + std::to_string(i) + ".flac"), flac,
                       {});
        return lib.string();
    }();
    return root;
}

void BM_Run(benchmark::State& state) {
    const std::string& root = library();
    if (root.empty()) {
        state.SkipWithError("could not make the library (sox, lame and ffmpeg are needed)");
        return;
    }
    const auto index = quorvanta::core::VolumeIndex::scanned({root}, 4);
    const int threads = static_cast<int>(state.range(0));
    AudioIndexer(index, threads).run();  // warms the page cache
    std::int64_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        index->setAudio(nullptr);
        AudioIndexer indexer(index, threads);
        state.ResumeTiming();
        files += indexer.run();
    }
    if (files != static_cast<std::int64_t>(state.iterations()) * (kMp3Copies + kFlacCopies))
        state.SkipWithError("not every file was read");
    state.SetItemsProcessed(files);
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Run)->Arg(1)->Arg(4)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
