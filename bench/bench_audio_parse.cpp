// µs per AudioParser::parse of audio files in the page cache, written once to a temporary folder:
// hand-built tagged MP3s (with and without a 1 MiB picture frame, which must be stepped over
// unread) and 10-second files of the other containers made by ffmpeg and flac.
// Run: build-release/bench/bench_audio_parse --benchmark_min_time=1
#include "audio/parser/AudioParser.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }
void putBE(Bytes& b, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putSynchsafe(Bytes& b, std::uint32_t v) {
    for (int s : {21, 14, 7, 0}) b.push_back(static_cast<std::uint8_t>((v >> s) & 0x7F));
}

void id3Frame(Bytes& tag, std::string_view id, const Bytes& body) {
    put(tag, id);
    putSynchsafe(tag, static_cast<std::uint32_t>(body.size()));
    putBE(tag, 0, 2);
    tag.insert(tag.end(), body.begin(), body.end());
}

Bytes textBody(std::string_view text) {
    Bytes b{3};
    put(b, text);
    return b;
}

// An ID3v2.4 tag with the usual texts, optionally a picture of pictureBytes, then 600 CBR frames.
Bytes mp3File(std::size_t pictureBytes) {
    Bytes frames;
    id3Frame(frames, "TPE1", textBody("Some Artist"));
    id3Frame(frames, "TIT2", textBody("A Fairly Long Song Title (Extended Mix)"));
    id3Frame(frames, "TALB", textBody("The Album"));
    id3Frame(frames, "TCON", textBody("(18)"));
    id3Frame(frames, "TDRC", textBody("2021-03-04"));
    id3Frame(frames, "TBPM", textBody("128"));
    id3Frame(frames, "TKEY", textBody("Am"));
    if (pictureBytes > 0) {
        Bytes pic{0};
        put(pic, "image/jpeg");
        pic.resize(pictureBytes, 0xAB);
        id3Frame(frames, "APIC", pic);
    }
    Bytes file;
    put(file, "ID3");
    file.push_back(4);
    file.push_back(0);
    file.push_back(0);
    putSynchsafe(file, static_cast<std::uint32_t>(frames.size()));
    file.insert(file.end(), frames.begin(), frames.end());
    for (int i = 0; i < 600; ++i) {
        const std::size_t at = file.size();
        file.resize(at + 417, 0);
        file[at] = 0xFF;
        file[at + 1] = 0xFB;
        file[at + 2] = 0x90;
        file[at + 3] = 0x00;
    }
    return file;
}

std::filesystem::path benchDir() {
    const char* tmp = std::getenv("TMPDIR");
    const auto dir = std::filesystem::path(tmp ? tmp : "/tmp") / "quorvanta-bench-audio";
    std::filesystem::create_directories(dir);
    return dir;
}

std::string writeTemp(const std::string& name, const Bytes& bytes) {
    const auto path = benchDir() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// A file made by a shell command line ("OUT" stands for its path); empty when that failed.
std::string toolFile(const std::string& name, const std::string& commandLine) {
    const std::string path = (benchDir() / name).string();
    std::string line = commandLine;
    line.replace(line.find("OUT"), 3, "'" + path + "'");
    line = "(" + line + ") >/dev/null 2>&1 </dev/null";
    return std::system(line.c_str()) == 0 ? path : std::string{};
}

const std::string kSine =
    "ffmpeg -nostdin -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 -ac 2 "
    "-metadata artist=Artist -metadata title=Title -metadata album=Album ";

void parseFile(benchmark::State& state, const std::string& path, const char* ext) {
    if (path.empty()) {
        state.SkipWithError("could not make the file (ffmpeg and flac are needed)");
        return;
    }
    for (auto _ : state) {
        auto meta = quorvanta::audio::AudioParser::parse(path, ext);
        if (!meta) state.SkipWithError("file did not parse");
        benchmark::DoNotOptimize(meta);
    }
}

void BM_Mp3Id3(benchmark::State& state) {
    static const std::string path = writeTemp("tagged.mp3", mp3File(0));
    parseFile(state, path, "mp3");
}
BENCHMARK(BM_Mp3Id3);

void BM_Mp3Id3Picture1MiB(benchmark::State& state) {
    static const std::string path = writeTemp("picture.mp3", mp3File(1 << 20));
    parseFile(state, path, "mp3");
}
BENCHMARK(BM_Mp3Id3Picture1MiB);

void BM_Flac(benchmark::State& state) {
    static const std::string path = toolFile("tagged.flac", kSine + "-c:a flac OUT");
    parseFile(state, path, "flac");
}
BENCHMARK(BM_Flac);

void BM_Wav(benchmark::State& state) {
    static const std::string path = toolFile("tagged.wav", kSine + "-c:a pcm_s16le OUT");
    parseFile(state, path, "wav");
}
BENCHMARK(BM_Wav);

void BM_Aiff(benchmark::State& state) {
    static const std::string path = toolFile("tagged.aiff", kSine + "-c:a pcm_s16be -write_id3v2 1 OUT");
    parseFile(state, path, "aiff");
}
BENCHMARK(BM_Aiff);

void BM_M4aAac(benchmark::State& state) {
    static const std::string path = toolFile("tagged.m4a", kSine + "-c:a aac -movflags +faststart OUT");
    parseFile(state, path, "m4a");
}
BENCHMARK(BM_M4aAac);

void BM_M4aAlac(benchmark::State& state) {
    static const std::string path = toolFile("alac.m4a", kSine + "-c:a alac OUT");
    parseFile(state, path, "m4a");
}
BENCHMARK(BM_M4aAlac);

}  // namespace
