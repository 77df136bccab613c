// The same-song and fingerprint stages of the duplicate finder:
//   BM_SongKey           keys/s of songKey over 4,096 generated tag sets and file names (track
//                        numbers, bracketed notes, accents; one in four untagged, keyed by its
//                        "Artist - Title" file name).
//   BM_Normalize/0       one 1 MiB title of words and unclosed "(".
//   BM_Normalize/1       200,000 "(" and no closing bracket.
//   BM_FingerprintStage  files/s of confirmWithFingerprints with the installed fpcalc over 32
//                        files: 8 different 12 s sox sweeps, each as WAV, FLAC (flac), MP3 (lame)
//                        and AAC (ffmpeg), one same-song group per sweep. Made once in
//                        $TMPDIR/audio-tools-bench-same-song and removed at the end; skipped
//                        when fpcalc or an encoder is missing.
// Run: build-release/bench/bench_same_song --benchmark_min_time=1
#include "audio/dupes/DuplicateFinder.h"
#include "audio/dupes/Fingerprint.h"
#include "audio/dupes/SongKey.h"
#include "tests/audio/ToolFiles.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quorvanta::audio::DupGroup;
using quorvanta::audio::DupKind;
using quorvanta::audio::DuplicateFinder;
using quorvanta::audio::DupMember;
using quorvanta::core::AudioMeta;

struct Tagged {
    std::string fileName;
    std::optional<AudioMeta> meta;
};

std::vector<Tagged> generatedTags() {
    static const char* const words[] = {"love",   "Night", "Ünïcode", "rain", "Café", "BLUE", "road",  "fire",
                                        "Straße", "dream", "heart",   "sky",  "Été",  "song", "river", "gold"};
    static const char* const notes[] = {"", "", " (320 kbps)", " [FLAC]", " (Remastered 2011)", " (live (320))"};
    static const char* const prefixes[] = {"", "01 - ", "1-05 ", "CD2 - 07. ", "12) "};
    std::mt19937 rng(5);
    auto phrase = [&](int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += (i ? " " : "") + std::string(words[rng() % std::size(words)]);
        return out;
    };
    std::vector<Tagged> out;
    for (int i = 0; i < 4096; ++i) {
        const std::string artist = phrase(1 + static_cast<int>(rng() % 3));
        const std::string title = prefixes[rng() % std::size(prefixes)] + phrase(1 + static_cast<int>(rng() % 5)) +
                                  notes[rng() % std::size(notes)];
        Tagged t{artist + " - " + title + ".mp3", std::nullopt};
        if (i % 4 != 0) {
            AudioMeta meta;
            meta.artist = artist;
            meta.title = title;
            meta.durationMs = 180'000;
            t.meta = meta;
        }
        out.push_back(std::move(t));
    }
    return out;
}

void BM_SongKey(benchmark::State& state) {
    const std::vector<Tagged> tags = generatedTags();
    for (auto _ : state) {
        for (const Tagged& t : tags) benchmark::DoNotOptimize(quorvanta::audio::songKey(t.fileName, t.meta));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * tags.size()));
    state.counters["keys/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * tags.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SongKey)->Unit(benchmark::kMillisecond);

void BM_Normalize(benchmark::State& state) {
    std::string text;
    if (state.range(0) == 0) {
        text.assign(1 << 20, 'a');
        for (std::size_t i = 0; i < text.size(); i += 7) text[i] = i % 3 ? ' ' : '(';
        state.SetLabel("1 MiB title");
    } else {
        text.assign(200'000, '(');
        state.SetLabel("200,000 \"(\"");
    }
    for (auto _ : state) benchmark::DoNotOptimize(quorvanta::audio::normalize(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Normalize)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

constexpr int kSweeps = 8;
const char* const kFormats[] = {"wav", "flac", "mp3", "m4a"};

// Removes the folder when the program ends.
struct RemovedAtExit {
    fs::path dir;
    ~RemovedAtExit() {
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);
    }
};

// One same-song group per sweep, its members the sweep's four encodings; empty when an encoder
// is missing or failed.
const std::vector<DupGroup>& sweepGroups() {
    static RemovedAtExit made;
    static const std::vector<DupGroup> groups = [] {
        const auto files = quorvanta::audio::test::makeToolFiles(
            "bench-same-song", {"sox", "flac", "lame", "ffmpeg"}, [](const quorvanta::audio::test::FileNamer& d) {
                std::vector<std::string> commands;
                for (int s = 0; s < kSweeps; ++s) {
                    const std::string name = "sweep" + std::to_string(s);
                    const std::string wav = d(name + ".wav");
                    commands.push_back("sox -D -n -r 44100 -c 2 -b 16 " + wav + " synth 12 " +
                                       (s % 2 ? "square " : "sine ") + std::to_string(150 + 100 * s) + "-" +
                                       std::to_string(5000 - 400 * s));
                    commands.push_back("flac -s -f -o " + d(name + ".flac") + " " + wav);
                    commands.push_back("lame --quiet -b 192 " + wav + " " + d(name + ".mp3"));
                    commands.push_back("ffmpeg -nostdin -v error -y -i " + wav + " -c:a aac -b:a 192k " +
                                       d(name + ".m4a"));
                }
                return commands;
            });
        made.dir = files.dir;
        std::vector<DupGroup> out;
        if (files.dir.empty() || !files.failed.empty()) return out;
        for (int s = 0; s < kSweeps; ++s) {
            DupGroup group;
            group.id = s + 1;
            group.kind = DupKind::sameSong;
            for (const char* format : kFormats) {
                DupMember member;
                member.path = (files / ("sweep" + std::to_string(s) + "." + format)).string();
                member.size = fs::file_size(member.path);
                group.members.push_back(std::move(member));
            }
            out.push_back(std::move(group));
        }
        return out;
    }();
    return groups;
}

void BM_FingerprintStage(benchmark::State& state) {
    if (!quorvanta::audio::fpcalcPath()) {
        state.SkipWithError("fpcalc is not installed (Debian package libchromaprint-tools)");
        return;
    }
    const std::vector<DupGroup>& groups = sweepGroups();
    if (groups.empty()) {
        state.SkipWithError("could not make the sweeps (sox, flac, lame and ffmpeg are needed)");
        return;
    }
    DuplicateFinder finder({}, {});
    std::size_t confirmed = 0;
    for (auto _ : state) confirmed = finder.confirmWithFingerprints(groups, {}).size();
    if (confirmed != groups.size()) state.SkipWithError("a sweep's encodings did not confirm as one group");
    const auto files = static_cast<double>(state.iterations() * kSweeps * std::size(kFormats));
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
    state.counters["files/s"] = benchmark::Counter(files, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FingerprintStage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
