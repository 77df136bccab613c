#include "quorvanta_cli/AudioCheck.h"
#include "quorvanta_cli/AudioInfo.h"
#include "quorvanta_cli/Decimal.h"
#include "tests/audio/ToolFiles.h"
#include "tests/quorvanta_cli/CliRun.h"
#include "tests/quorvanta_cli/PcmFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using core::AudioMeta;
using quorvanta::test::TempDir;
using test::pcm16;
using test::putBE;
using test::putLE;
using test::runCli;
using test::wavFile;

// WAV (tests/quorvanta_cli/PcmFiles.h) and AIFF written here; the other files made by the tools
// once for the suite.
// The 80-bit extended form of a whole sample rate.
std::string extended80(std::uint32_t rate) {
    int exponent = 31;
    std::uint64_t mantissa = rate;
    while (!(mantissa & 0x80000000u)) {
        mantissa <<= 1;
        --exponent;
    }
    std::string b;
    putBE(b, 16383 + exponent, 2);
    putBE(b, mantissa << 32, 8);
    return b;
}

std::string aiffFile(int rate, int channels, double seconds) {
    const std::string data = pcm16(rate, channels, seconds, true);
    std::string comm;
    putBE(comm, channels, 2);
    putBE(comm, data.size() / (2 * channels), 4);
    putBE(comm, 16, 2);
    comm += extended80(rate);
    std::string b = "FORM";
    putBE(b, 4 + 8 + comm.size() + 8 + 8 + data.size(), 4);
    b += "AIFFCOMM";
    putBE(b, comm.size(), 4);
    b += comm + "SSND";
    putBE(b, 8 + data.size(), 4);
    putBE(b, 0, 8);
    return b + data;
}

class CliAudio : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files_ = audio::test::makeToolFiles(
            "cli-audio", {"ffmpeg", "ffprobe", "sox", "lame", "flac"}, [](const audio::test::FileNamer& d) {
                const std::string src = d("src.wav");
                const std::string ff = "ffmpeg -nostdin -y -v error -i " + src + " ";
                return std::vector<std::string>{
                    "sox -D -n -r 44100 -c 2 -b 16 " + src + " synth 4 sine 440",
                    ff + "-c:a libmp3lame -b:a 128k -metadata artist='Bj\xC3\xB6rk' -metadata title='J\xC3\xB3ga' " +
                        d("cbr.mp3"),
                    ff + "-c:a libmp3lame -q:a 2 -metadata artist=Air -metadata title=Alpha " + d("vbr.mp3"),
                    ff + "-c:a flac -metadata artist=Moby -metadata title=Porcelain -metadata BPM=124.5 " +
                        d("song.flac"),
                    ff + "-c:a aac -b:a 128k -metadata artist=Daft -metadata title=One " + d("aac.m4a"),
                    "rm -f " + src,
                };
            });
        if (files_.dir.empty()) return;
        std::ofstream(files_ / "pcm.wav", std::ios::binary) << wavFile(22050, 1, 3.0);
        std::ofstream(files_ / "pcm.aiff", std::ios::binary) << aiffFile(48000, 2, 2.5);
    }
    static inline audio::test::ToolFileSet files_;
};

// ---- In-process: number text, sampling rule, agreement rule, notes ----

TEST_F(CliAudio, DecimalIsTheShortestRoundTripWithAPoint) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {44100, "44100.0"}, {124.5, "124.5"},      {0, "0.0"},
        {0.1, "0.1"},       {-2.25, "-2.25"},      {1e21, "1000000000000000000000.0"},
        {0.001, "0.001"},   {std::nan(""), "nan"}, {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(decimal(c.value), c.text) << c.value;
}

TEST_F(CliAudio, SamplingRule) {
    const auto sample = [](std::int64_t limit, int names, bool withOthers) {
        AudioSampler sampler(limit);
        for (int i = 1; i <= names; ++i) {
            if (withOthers) {
                sampler.offer("._" + std::to_string(i) + ".mp3", "junk");
                sampler.offer(std::to_string(i) + ".txt", "text");
                sampler.offer(std::to_string(i) + ".ogg", "ogg");
            }
            if (!sampler.offer(std::to_string(i) + (i % 2 ? ".MP3" : ".flac"), std::to_string(i))) break;
        }
        return sampler;
    };
    const auto big = sample(300, 10000, true);
    EXPECT_EQ(big.found(), 9040);
    ASSERT_EQ(big.taken().size(), 300u);
    EXPECT_EQ(big.taken()[74], "75");
    EXPECT_EQ(big.taken()[75], "80");
    EXPECT_EQ(big.taken()[76], "120");
    EXPECT_EQ(big.taken().back(), "9040");

    const auto small = sample(3, 10000, false);
    EXPECT_EQ(small.taken(), (std::vector<std::string>{"40", "80", "120"}));
    EXPECT_EQ(small.found(), 120);

    const auto none = sample(0, 100, false);
    EXPECT_TRUE(none.taken().empty());
    EXPECT_EQ(none.found(), 0);
}

TEST_F(CliAudio, AgreementRule) {
    const struct {
        double reference, mine;
        bool agree;
    } durations[] = {
        {0.5, 0.6, true}, {600, 603, true}, {100, 102, false},
        {0, 1.5, true},   {0, 1.6, false},  {std::nan(""), 1, false},
    };
    for (const auto& c : durations)
        EXPECT_EQ(durationsAgree(c.reference, c.mine), c.agree) << c.reference << " " << c.mine;

    const struct {
        double reference;
        std::uint32_t parsed;
        bool agree;
    } rates[] = {
        {44100, 44100, true},
        {44100.9, 44100, true},
        {48000, 44100, false},
        {std::nan(""), 0, false},
        {-1, 0, false},
        {4294967296.0, 0, false},
        {std::numeric_limits<double>::infinity(), 0, false},
        {4294967295.0, 4294967295u, true},
    };
    for (const auto& c : rates) EXPECT_EQ(ratesAgree(c.reference, c.parsed), c.agree) << c.reference;
}

class FakeProbe : public ReferenceAudioProbe {
public:
    std::map<std::string, ReferenceAudio> files;  // others cannot be opened
    std::optional<ReferenceAudio> read(const std::string& path) const override {
        const auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
};

TEST_F(CliAudio, ComparisonCountsAndNotes) {
    AudioMeta meta;
    meta.durationMs = 10000;
    meta.sampleRate = 44100;
    meta.channels = 2;
    meta.bits = 16;
    meta.codec = core::AudioCodec::pcm;
    FakeProbe probe;
    for (const char* f : {"a", "b", "c", "d"}) probe.files[f] = {20, 48000, 1};
    probe.files["same"] = {10.2, 44100, 2};

    AudioCheckRecord r;
    compareFile(r, "unopenable", meta, probe);  // agrees on all three
    compareFile(r, "same", meta, probe);
    for (const char* f : {"a", "b", "c", "d"}) compareFile(r, f, meta, probe);
    AudioMeta tagged = meta;
    tagged.title = "t";
    compareFile(r, "same", tagged, probe);
    for (int i = 0; i < 4; ++i) compareFile(r, "bad" + std::to_string(i), std::nullopt, probe);

    EXPECT_EQ(r.n, 11);
    EXPECT_EQ(r.unparsed, 4);
    EXPECT_EQ(r.duration, 3);
    EXPECT_EQ(r.rate, 3);
    EXPECT_EQ(r.channels, 3);
    EXPECT_EQ(r.tagged, 1);
    // Duration and rate notes while at most 3 are held, channel notes while at most 5, "not
    // parsed" while fewer than 3.
    const std::vector<std::string> notes = {
        "duration 20.0 vs mine 10.0: a",        "rate 48000.0 vs 44100: a",
        "channels 1 vs mine 2 [PCM 16 bit]: a", "duration 20.0 vs mine 10.0: b",
        "channels 1 vs mine 2 [PCM 16 bit]: b", "channels 1 vs mine 2 [PCM 16 bit]: c",
    };
    EXPECT_EQ(r.notes, notes);

    std::ostringstream out;
    printAudioCheckRecords(out, {{"wav", r}, {"aiff", AudioCheckRecord{1, 1, 0, 0, 0, 0, {"not parsed: x"}}}});
    EXPECT_EQ(out.str().substr(0, out.str().find("wav:")),
              "aiff: n=1 unparsed=1 duration~AudioToolbox=0 rate=0 channels=0 with artist/title=0\n"
              "   not parsed: x\n");
    EXPECT_NE(out.str().find("wav: n=11 unparsed=4 duration~AudioToolbox=3 rate=3 channels=3 with artist/title=1\n"
                             "   duration 20.0 vs mine 10.0: a\n"),
              std::string::npos);
}

TEST_F(CliAudio, InfoLinesOfAnUnknownCodec) {
    AudioMeta m;
    m.sampleRate = 8000;
    m.channels = 1;
    m.durationMs = 1500;
    m.bpm10 = 1245;
    std::ostringstream out;
    printAudioInfo(out, "/x/a.bin", m);
    EXPECT_EQ(out.str(),
              "/x/a.bin\n"
              "   8000 Hz 0 bit 1 ch, 1500 ms, 0 kbit/s, lossless=false\n"
              "  artist='' title='' album='' genre='' year=0 bpm=124.5 key=''\n");

    // Through the command, a WAV file whose format tag names no codec we know is "other" ("?"),
    // not unknown: the label is there and the line keeps its two blanks.
    TempDir dir;
    const fs::path odd = dir / "odd.wav";
    std::ofstream(odd, std::ios::binary) << wavFile(8000, 1, 1.5, 0x1234);
    const auto r = runCli({"audio-info", odd.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with(odd.string() + "\n  ? 8000 Hz 16 bit 1 ch, 1500 ms, 128 kbit/s, lossless=false\n"))
        << r.out;
}

// ---- End to end over the files ----

// audio-info's three lines per file: "<path>", stream facts, tags.
struct InfoBlock {
    std::string facts, tags;
};
std::map<std::string, InfoBlock> infoBlocks(const std::string& out) {
    std::map<std::string, InfoBlock> blocks;
    std::istringstream in(out);
    for (std::string path, facts, tags; std::getline(in, path);) {
        if (path.ends_with(": not parsed")) continue;
        std::getline(in, facts);
        std::getline(in, tags);
        blocks[path] = {facts, tags};
    }
    return blocks;
}

TEST_F(CliAudio, InfoAgreesWithFfprobe) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    const struct {
        const char* file;
        const char* codec;
        bool vbr, lossless;
        const char* artist;
        const char* bpm;
    } cases[] = {
        {"cbr.mp3", "MP3", false, false, "Bj\xC3\xB6rk", "0.0"},
        {"vbr.mp3", "MP3", true, false, "Air", "0.0"},
        {"song.flac", "FLAC", false, true, "Moby", "124.5"},
        {"aac.m4a", "AAC", false, false, "Daft", "0.0"},
        {"pcm.wav", "PCM", false, true, "", "0.0"},
        {"pcm.aiff", "AIFF", false, true, "", "0.0"},
    };
    std::vector<std::string> args = {"audio-info"};
    for (const auto& c : cases) args.push_back((files_ / c.file).string());
    const auto r = runCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto blocks = infoBlocks(r.out);
    ASSERT_EQ(blocks.size(), std::size(cases)) << r.out;
    const std::regex facts(
        "  (\\S+) ([0-9]+) Hz ([0-9]+) bit ([0-9]+) ch, ([0-9]+) ms, ([0-9]+) kbit/s( VBR)?, "
        "lossless=(true|false)");
    const std::regex tags(
        "  artist='(.*)' title='(.*)' album='.*' genre='.*' year=[0-9]+ bpm=([0-9]+\\.[0-9]+) key='.*'");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path path = files_ / c.file;
        const auto& block = blocks.at(path.string());
        std::smatch f, t;
        ASSERT_TRUE(std::regex_match(block.facts, f, facts)) << block.facts;
        ASSERT_TRUE(std::regex_match(block.tags, t, tags)) << block.tags;
        const auto probe = audio::test::probe(path);
        ASSERT_TRUE(probe);
        EXPECT_EQ(f[1], c.codec);
        EXPECT_EQ(std::stoul(f[2]), probe->sampleRate);
        EXPECT_EQ(std::stoul(f[4]), probe->channels);
        EXPECT_TRUE(durationsAgree(probe->seconds, std::stod(f[5]) / 1000)) << probe->seconds << " vs " << f[5];
        EXPECT_EQ(f[7].matched, c.vbr);
        EXPECT_EQ(f[8], c.lossless ? "true" : "false");
        EXPECT_EQ(t[1], c.artist);
        EXPECT_EQ(t[3], c.bpm);
        if (probe->bitsPerRawSample > 0) {
            EXPECT_EQ(std::stoul(f[3]), probe->bitsPerRawSample);
        }
    }
}

TEST_F(CliAudio, InfoOfFilesThatAreNotAudio) {
    TempDir dir;
    const fs::path text = dir.write("notes.mp3", std::string(4000, 'n'));
    const fs::path fifo = dir / "x.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    quorvanta::test::RunOptions options;
    options.killAfter = std::chrono::seconds(30);
    const auto r = runCli({"audio-info", text.string(), fifo.string()}, options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, text.string() + ": not parsed\n" + fifo.string() + ": not parsed\n");

    const auto none = runCli({"audio-info"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
}

// "<ext>: n=… …" lines of audio-check by extension, and its notes.
std::map<std::string, std::string> extensionLines(const std::string& out) {
    std::map<std::string, std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(": n=");
        if (colon != std::string::npos && line[0] != ' ') lines[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return lines;
}

TEST_F(CliAudio, CheckFolderAndListModes) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    TempDir tree;
    for (const char* f : {"cbr.mp3", "vbr.mp3", "song.flac", "aac.m4a", "pcm.wav", "pcm.aiff"}) {
        fs::create_directories(tree / "sub" / "deeper");
        fs::copy_file(files_ / f, tree / "sub" / "deeper" / f);
        fs::copy_file(files_ / f, tree / f);
    }
    const fs::path bogus = tree.write("x.wav", std::string(3000, 'x'));
    tree.write("._skip.mp3", std::string(3000, 'x'));
    fs::create_directory_symlink(tree / "sub", tree / "link");  // never followed

    const auto r = runCli({"audio-check", tree.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("^files compared: 13 of 13 found, parsed in [0-9]+\\.[0-9]{2} ms "
                                                    "\\([0-9]+\\.[0-9]{2} ms/file\\)\n")))
        << r.out;
    const std::map<std::string, std::string> expected = {
        {"aiff", "n=2 unparsed=0 duration~AudioToolbox=2 rate=2 channels=2 with artist/title=0"},
        {"flac", "n=2 unparsed=0 duration~AudioToolbox=2 rate=2 channels=2 with artist/title=2"},
        {"m4a", "n=2 unparsed=0 duration~AudioToolbox=2 rate=2 channels=2 with artist/title=2"},
        {"mp3", "n=4 unparsed=0 duration~AudioToolbox=4 rate=4 channels=4 with artist/title=4"},
        {"wav", "n=3 unparsed=1 duration~AudioToolbox=2 rate=2 channels=2 with artist/title=0"},
    };
    EXPECT_EQ(extensionLines(r.out), expected) << r.out;
    EXPECT_NE(r.out.find("\n   not parsed: " + bogus.string() + "\n"), std::string::npos) << r.out;
    // A folder written with a trailing "/" gives the same paths.
    const auto slashed = runCli({"audio-check", tree.path().string() + "/"});
    EXPECT_NE(slashed.out.find("\n   not parsed: " + bogus.string() + "\n"), std::string::npos) << slashed.out;

    // A limit of 2 takes only every 40th file (2 / 4 = 0): none of 13.
    const auto limited = runCli({"audio-check", tree.path().string(), "--limit", "2"});
    EXPECT_NE(limited.out.find("files compared: 0 of 13 found"), std::string::npos) << limited.out;

    const fs::path list = tree.write("list.txt", (files_ / "song.flac").string() + "\n\n" + bogus.string() + "\n");
    const auto listed = runCli({"audio-check", "--list", list.string()});
    EXPECT_NE(listed.out.find("files compared: 2 of 2 found"), std::string::npos) << listed.out;
    EXPECT_EQ(extensionLines(listed.out),
              (std::map<std::string, std::string>{
                  {"flac", "n=1 unparsed=0 duration~AudioToolbox=1 rate=1 channels=1 with artist/title=1"},
                  {"wav", "n=1 unparsed=1 duration~AudioToolbox=0 rate=0 channels=0 with artist/title=0"}}));
}

TEST_F(CliAudio, CheckWithoutFilesOrOperand) {
    TempDir dir;
    const auto missing = runCli({"audio-check", (dir / "missing").string()});
    EXPECT_EQ(missing.status, 0);
    EXPECT_TRUE(missing.out.starts_with("files compared: 0 of 0 found")) << missing.out;
    EXPECT_EQ(std::count(missing.out.begin(), missing.out.end(), '\n'), 1) << missing.out;

    const auto usage = runCli({"audio-check"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.out, "usage: quorvanta-cli audio-check <dir> [--limit N]\n");
}

// What a line of audio-index's final queries says: "<query> => <hits> hits in <ms> ms".
std::map<std::string, std::string> finalHits(const std::string& out) {
    std::map<std::string, std::string> hits;
    static const std::regex line("(.*) => ([0-9]+) hits in [0-9]+\\.[0-9]{2} ms");
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_match(l, m, line)) hits[m[1]] = m[2];
    }
    return hits;
}

TEST_F(CliAudio, IndexWithoutAudio) {
    TempDir dir;
    dir.write("a/notes.txt", std::string(500, 'n'));
    dir.write("b/song.mp3", std::string(100, 'n'));  // under 128 bytes: not a candidate
    const auto r = runCli({"audio-index", dir.path().string()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("audio files: 0 (0 to analyze)\n"), std::string::npos) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nanalyzed 0 files in [0-9]+\\.[0-9]{2} s = 0 files/s; "
                                                    "table rows=0\n")))
        << r.out;
    const std::map<std::string, std::string> none = {
        {"ext:mp3 bitrate:<192", "0"}, {"lossless:", "0"},   {"bpm:120..128", "0"}, {"dur:>6m", "0"},
        {"ext:flac !lossless:", "0"},  {"artist:daft", "0"},
    };
    EXPECT_EQ(finalHits(r.out), none) << r.out;
}

TEST_F(CliAudio, IndexOfTheFixtures) {
    AUDIO_REQUIRE_TOOL_FILES(files_);
    TempDir tree;
    for (const char* f : {"cbr.mp3", "vbr.mp3", "song.flac", "aac.m4a", "pcm.wav", "pcm.aiff"})
        fs::copy_file(files_ / f, tree / f);
    tree.write("deep/x.wav", std::string(3000, 'x'));  // unreadable: an empty row

    const auto r = runCli({"audio-index", tree.path().string(), "--threads", "3"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("audio files: 7 (7 to analyze)\n"), std::string::npos) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nanalyzed 7 files in .* files/s; table rows=7\n"))) << r.out;
    const auto hits = finalHits(r.out);
    EXPECT_EQ(hits.size(), 6u) << r.out;
    EXPECT_EQ(hits.at("ext:mp3 bitrate:<192"), "2");
    EXPECT_EQ(hits.at("lossless:"), "3");  // the FLAC, WAV and AIFF files; not the unreadable one
    EXPECT_EQ(hits.at("bpm:120..128"), "1");
    EXPECT_EQ(hits.at("artist:daft"), "1");
    // Progress goes to standard error only.
    EXPECT_FALSE(std::regex_search(r.out, std::regex("(^|\n)  [0-9]+/[0-9]+\n"))) << r.out;

    const auto wav = runCli({"audio-index", tree.path().string(), "--query", "ext:wav"});
    EXPECT_EQ(finalHits(wav.out), (std::map<std::string, std::string>{{"ext:wav", "2"}})) << wav.out;

    const auto bad = runCli({"audio-index", tree.path().string(), "--query", "bitrate:fast"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(std::regex_search(bad.out, std::regex("\nquery error: invalid\\(\".*\"\\)\n$"))) << bad.out;

    const auto usage = runCli({"audio-index"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.out, "usage: quorvanta-cli audio-index <root> [--threads N] [--query q]\n");
}

}  // namespace
}  // namespace quorvanta::cli
