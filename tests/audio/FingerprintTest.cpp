#include "audio/dupes/DuplicateFinder.h"
#include "audio/dupes/Fingerprint.h"

#include "tests/audio/DupTestTree.h"
#include "tests/audio/ToolFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <set>

namespace quorvanta::audio {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ProgressLog;

Fingerprint randomPrint(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Fingerprint out(n);
    for (auto& v : out) v = static_cast<std::uint32_t>(rng());
    return out;
}

// The print with the given bits of every number flipped.
Fingerprint flipped(Fingerprint print, std::uint32_t bits) {
    for (auto& v : print) v ^= bits;
    return print;
}

TEST(FingerprintSimilarity, Table) {
    const Fingerprint a = randomPrint(120, 1);
    const Fingerprint shifted3(a.begin() + 3, a.end());
    const Fingerprint shifted8(a.begin() + 8, a.end());
    const Fingerprint shifted9(a.begin() + 9, a.end());
    EXPECT_EQ(similarity(a, a), 1.0);
    EXPECT_EQ(similarity(Fingerprint(a.begin(), a.begin() + 40), Fingerprint(a.begin(), a.begin() + 40)), 1.0);
    EXPECT_EQ(similarity(Fingerprint(a.begin(), a.begin() + 39), Fingerprint(a.begin(), a.begin() + 39)), 0.0)
        << "39 numbers never overlap by 40";
    EXPECT_EQ(similarity(a, shifted3), 1.0);
    EXPECT_EQ(similarity(shifted3, a), 1.0);
    EXPECT_EQ(similarity(a, shifted8), 1.0);
    EXPECT_EQ(similarity(shifted8, a), 1.0);
    EXPECT_LT(similarity(a, shifted9), 0.7) << "beyond 8 places only chance agreement is left";
    EXPECT_DOUBLE_EQ(similarity(a, flipped(a, 0xFF)), 1.0 - 8.0 / 32.0);
    EXPECT_EQ(similarity(a, {}), 0.0);
    EXPECT_EQ(similarity({}, a), 0.0);
}

TEST(FingerprintParse, Lines) {
    const std::pair<std::string, std::optional<Fingerprint>> cases[] = {
        {"FINGERPRINT=1,2,3\n", Fingerprint{1, 2, 3}},
        {"DURATION=12\nFILE=x\nFINGERPRINT=7,8\n", Fingerprint{7, 8}},
        {"FINGERPRINT=1,,2,,,3", Fingerprint{1, 2, 3}},
        {"FINGERPRINT=4294967295,4294967296,-5,99999999999999999999,x1,1x,+2, 3,4\n", Fingerprint{4294967295u, 4}},
        {"FINGERPRINT=\n", std::nullopt},
        {"FINGERPRINT=a,b\n", std::nullopt},
        {"DURATION=12\n", std::nullopt},
        {"", std::nullopt},
        {"\n\n", std::nullopt},
        {" FINGERPRINT=1\n", std::nullopt},
        {"FINGERPRINT=5\nFINGERPRINT=6\n", Fingerprint{5}},
        {"FINGERPRINT=1,\xFF\n", std::nullopt},
    };
    for (const auto& [output, expected] : cases) EXPECT_EQ(parseFingerprint(output), expected) << output;
}

// A fake fpcalc: for a file F it prints F.out when there is one, then runs F.sh when there is
// one (to exit with a status, hang, or write to standard error), and checks its arguments.
class FakeFpcalc {
public:
    FakeFpcalc() {
        program_ = dir_.write("fpcalc", R"(#!/bin/sh
[ "$#" = 4 ] && [ "$1" = -raw ] && [ "$2" = -length ] && [ "$3" = 90 ] || exit 9
[ -f "$4.out" ] && cat "$4.out"
[ -f "$4.sh" ] && . "$4.sh"
exit 0
)");
        fs::permissions(program_, fs::perms::owner_all);
    }
    const fs::path& program() const { return program_; }

    // A member file whose fake fingerprint output is `output` and whose extra behaviour is `sh`.
    std::string file(const std::string& name, const std::string& output, const std::string& sh = "") const {
        const fs::path path = dir_.write("m/" + name, "audio");
        if (!output.empty()) dir_.write("m/" + name + ".out", output);
        if (!sh.empty()) dir_.write("m/" + name + ".sh", sh);
        return path.string();
    }

private:
    quorvanta::test::TempDir dir_;
    fs::path program_;
};

std::string printLine(const Fingerprint& print) {
    std::string line = "FINGERPRINT=";
    for (std::size_t i = 0; i < print.size(); ++i) line += (i ? "," : "") + std::to_string(print[i]);
    return line + "\n";
}

DupGroup groupOf(const std::vector<std::string>& paths) {
    DupGroup g;
    g.id = 9;
    g.kind = DupKind::sameSong;
    for (const std::string& p : paths) {
        DupMember m;
        m.path = p;
        m.size = 100;
        g.members.push_back(m);
    }
    return g;
}

TEST(FingerprintStage, SeededClustersWithAFakeProgram) {
    FakeFpcalc fake;
    const Fingerprint x = randomPrint(100, 2);
    const std::uint32_t s1 = 0x7F, s2 = 0x7F << 7;  // 7 of 32 bits each: 0.78 apart once, 0.56 twice
    // A~B, B~C, A!~C: B passes A's label on to C.
    const auto chainA = fake.file("chainA.mp3", printLine(x));
    const auto chainB = fake.file("chainB.mp3", "DURATION=90\n" + printLine(flipped(x, s1)));
    const auto chainC = fake.file("chainC.mp3", printLine(flipped(x, s1 | s2)));
    // A~C, B~C, A!~B: C is labelled by A before B's turn; B is left alone.
    const auto seedA = fake.file("seedA.mp3", printLine(x));
    const auto seedB = fake.file("seedB.mp3", printLine(flipped(x, s1 | s2)));
    const auto seedC = fake.file("seedC.mp3", printLine(flipped(x, s1)));
    // Two of three fingerprinted: the third leaves; none fingerprinted: the group leaves.
    const auto pairA = fake.file("pairA.mp3", printLine(x));
    const auto pairB = fake.file("pairB.mp3", printLine(x));
    const auto failing = fake.file("failing.mp3", printLine(x), "exit 1");
    const auto silent = fake.file("silent.mp3", "");
    const auto noisy = fake.file("noisy.mp3", "", "head -c 1048576 /dev/zero >&2");
    const auto stderrOk = fake.file("stderr.mp3", printLine(x), "head -c 1048576 /dev/zero >&2");
    // Status 3 (the decoder stopped early, as at the end of a short file) keeps the fingerprint;
    // any other failure status loses it.
    const auto status3 = fake.file("status3.mp3", printLine(x), "exit 3");
    const auto status2 = fake.file("status2.mp3", printLine(x), "exit 2");

    DuplicateFinder finder({}, {});
    finder.setFingerprintProgramForTesting({[&] { return std::optional(fake.program().string()); }, 30s});
    ProgressLog log;
    const auto out = finder.confirmWithFingerprints(
        {groupOf({chainA, chainB, chainC}), groupOf({seedA, seedB, seedC}), groupOf({pairA, failing, pairB}),
         groupOf({silent, noisy}), groupOf({stderrOk, pairA}), groupOf({status3, status2, pairB})},
        log.callback());
    const std::vector<std::set<std::string>> expected = {
        {chainA, chainB, chainC}, {seedA, seedC}, {pairA, pairB}, {stderrOk, pairA}, {status3, pairB}};
    EXPECT_EQ(test::memberPathSets(out), expected);
    for (const DupGroup& g : out) {
        EXPECT_EQ(g.confirmed, true);
        EXPECT_EQ(g.id, 9);
        EXPECT_EQ(g.kind, DupKind::sameSong);
    }
    const auto reports = log.reports();
    ASSERT_EQ(reports.size(), 16u);
    EXPECT_EQ(reports[3], (DuplicateFinder::Progress{DupStage::fingerprint, 4, 16, 1}));
    EXPECT_EQ(reports.back(), (DuplicateFinder::Progress{DupStage::fingerprint, 16, 16, 4}));
}

TEST(FingerprintStage, HangingProgramIsKilledAtTheLimit) {
    FakeFpcalc fake;
    const fs::path pidFile = fake.program().parent_path() / "pid";
    const auto hang = fake.file("hang.mp3", "", "echo $$ > '" + pidFile.string() + "'; sleep 600");
    const auto a = fake.file("a.mp3", printLine(randomPrint(60, 3)));
    const auto b = fake.file("b.mp3", printLine(randomPrint(60, 3)));
    DuplicateFinder finder({}, {});
    finder.setFingerprintProgramForTesting({[&] { return std::optional(fake.program().string()); }, 300ms});
    const auto out = finder.confirmWithFingerprints({groupOf({hang, a, b})}, {});
    EXPECT_EQ(test::memberPathSets(out), (std::vector<std::set<std::string>>{{a, b}}));
    std::string pid;
    std::ifstream(pidFile) >> pid;
    ASSERT_FALSE(pid.empty());
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    bool alive = false;
    while (std::getline(status, line)) {
        if (line.rfind("State:", 0) == 0) alive = line.find('Z') == std::string::npos;
    }
    EXPECT_FALSE(alive) << "the hanging program is left running";
}

TEST(FingerprintStage, WithoutTheProgramGroupsPassUnchanged) {
    DuplicateFinder finder({}, {});
    finder.setFingerprintProgramForTesting({[] { return std::optional<std::string>(); }, 30s});
    ProgressLog log;
    const std::vector<DupGroup> in = {groupOf({"/x/a.mp3", "/x/b.mp3"}), groupOf({"/x/c.mp3", "/x/d.mp3"})};
    const auto out = finder.confirmWithFingerprints(in, log.callback());
    EXPECT_EQ(test::memberPathSets(out), test::memberPathSets(in));
    for (const DupGroup& g : out) EXPECT_FALSE(g.confirmed.has_value());
    EXPECT_EQ(log.reports(), (std::vector<DuplicateFinder::Progress>{{DupStage::fingerprint, 0, 0, 2}}));
    ProgressLog none;
    finder.setFingerprintProgramForTesting({[] { return std::optional<std::string>("/bin/true"); }, 30s});
    EXPECT_TRUE(finder.confirmWithFingerprints({}, none.callback()).empty());
    EXPECT_TRUE(none.reports().empty());
}

TEST(FingerprintStage, CancelledGroupsPassThroughUnconfirmed) {
    FakeFpcalc fake;
    const auto a = fake.file("a.mp3", printLine(randomPrint(60, 4)));
    const auto b = fake.file("b.mp3", printLine(randomPrint(60, 4)));
    DuplicateFinder finder({}, {});
    finder.setFingerprintProgramForTesting({[&] { return std::optional(fake.program().string()); }, 30s});
    finder.cancel();
    const auto out = finder.confirmWithFingerprints({groupOf({a, b})}, {});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_FALSE(out[0].confirmed.has_value());
}

// Stages 1-5 over one scanned tree: two identical groups, and three same-song groups that the
// fake program splits (beta), trims (gamma: one member without a fingerprint) and drops (delta:
// nothing alike). The groups left are numbered 1..n, identical ones first, and come most surplus
// bytes first, then by number.
TEST(FingerprintStage, WholeRunNumbersAndOrdersTheGroups) {
    FakeFpcalc fake;
    quorvanta::test::TempDir dir;
    const std::string copy = test::seededBytes(30'000, 20);
    const std::string small = test::seededBytes(9'000, 21);
    for (const char* name : {"a/copy.mp3", "b/copy.mp3"}) dir.write(name, copy);
    for (const char* name : {"c/small.mp3", "d/small.mp3"}) dir.write(name, small);
    const Fingerprint x = randomPrint(100, 5), y = randomPrint(100, 6), z = randomPrint(100, 7);
    struct Song {
        const char* path;
        const char* title;
        std::size_t size;
        core::AudioCodec codec;
        std::optional<Fingerprint> print;
    };
    const Song songs[] = {
        {"beta/b1.mp3", "Beta", 20'000, core::AudioCodec::mp3, x},
        {"beta/b2.flac", "Beta", 45'000, core::AudioCodec::flac, x},
        {"beta/b3.mp3", "Beta", 12'000, core::AudioCodec::mp3, y},
        {"beta/b4.flac", "Beta", 40'000, core::AudioCodec::flac, y},
        {"gamma/c1.mp3", "Gamma", 9'000, core::AudioCodec::mp3, z},
        {"gamma/c2.flac", "Gamma", 50'000, core::AudioCodec::flac, z},
        {"gamma/c3.mp3", "Gamma", 8'000, core::AudioCodec::mp3, std::nullopt},
        {"delta/d1.mp3", "Delta", 7'000, core::AudioCodec::mp3, x},
        {"delta/d2.flac", "Delta", 60'000, core::AudioCodec::flac, y},
    };
    std::vector<std::pair<fs::path, core::AudioMeta>> facts;
    for (std::size_t i = 0; i < std::size(songs); ++i) {
        const Song& s = songs[i];
        const fs::path file = dir.write(s.path, test::seededBytes(s.size, 30 + static_cast<unsigned>(i)));
        if (s.print) dir.write(std::string(s.path) + ".out", printLine(*s.print));
        core::AudioMeta meta;
        meta.artist = "The Band";
        meta.title = s.title;
        meta.durationMs = 200'000;
        meta.codec = s.codec;
        meta.bitrateKbps = 256;
        facts.push_back({file, meta});
    }
    const auto volume = test::scanned(dir.path());
    test::attach(*volume, facts);

    DuplicateFinder::Options options;
    options.stages.insert(DupStage::fingerprint);
    DuplicateFinder finder({volume}, options);
    finder.setFingerprintProgramForTesting({[&] { return std::optional(fake.program().string()); }, 30s});
    const auto groups = finder.run({});

    auto paths = [&](std::initializer_list<const char*> names) {
        std::set<std::string> out;
        for (const char* name : names) out.insert((dir / name).string());
        return out;
    };
    const std::vector<std::set<std::string>> expected = {
        paths({"a/copy.mp3", "b/copy.mp3"}),       // 30,000 surplus bytes
        paths({"beta/b1.mp3", "beta/b2.flac"}),    // 20,000
        paths({"beta/b3.mp3", "beta/b4.flac"}),    // 12,000
        paths({"c/small.mp3", "d/small.mp3"}),     //  9,000, the lower number
        paths({"gamma/c1.mp3", "gamma/c2.flac"}),  //  9,000
    };
    ASSERT_EQ(test::memberPathSets(groups), expected);
    std::set<std::int64_t> ids;
    for (const DupGroup& g : groups) {
        ids.insert(g.id);
        EXPECT_EQ(g.confirmed, g.kind == DupKind::sameSong ? std::optional(true) : std::nullopt) << g.id;
    }
    EXPECT_EQ(ids, (std::set<std::int64_t>{1, 2, 3, 4, 5})) << "numbered 1..n with no gap for the dropped group";
    EXPECT_LT(groups[3].id, groups[4].id) << "equal surplus: the lower number first";
    for (const DupGroup& g : groups) {
        if (g.kind == DupKind::identical) {
            EXPECT_LE(g.id, 2) << "identical groups are numbered first";
        }
    }
    EXPECT_EQ(std::abs(groups[1].id - groups[2].id), 1) << "the halves of one split group are numbered in turn";
}

TEST(FingerprintProgramPath, FindsTheInstalledProgramOrNone) {
    const auto path = fpcalcPath();
    if (fs::exists("/usr/bin/fpcalc") || fs::exists("/usr/local/bin/fpcalc")) {
        ASSERT_TRUE(path);
        EXPECT_TRUE(*path == "/usr/local/bin/fpcalc" || *path == "/usr/bin/fpcalc") << *path;
    }
}

// Real fpcalc on sweeps made by sox, encoded four ways: one confirmed group; a different sweep
// with the same tags and duration is dropped.
TEST(FingerprintReal, FormatsOfOneSweepConfirmAndAnotherSweepDrops) {
    if (!fpcalcPath()) GTEST_SKIP() << "fpcalc is not installed (Debian package libchromaprint-tools)";
    const std::string missing = test::missingTool({"sox", "flac", "lame", "ffmpeg"});
    ASSERT_TRUE(missing.empty()) << missing << " is missing: run scripts/install-deps";
    quorvanta::test::TempDir dir;
    const fs::path wav = dir / "sweep.wav";
    const fs::path other = dir / "other" / "sweep.wav";
    fs::create_directories(other.parent_path());
    const std::string failed = test::runAll({
        "sox -n -r 44100 -c 2 -b 16 " + test::quoted(wav) + " synth 12 sine 200-4000",
        "sox -n -r 44100 -c 2 -b 16 " + test::quoted(other) + " synth 12 square 3000-300",
        "flac -s -f -o " + test::quoted(dir / "sweep.flac") + " " + test::quoted(wav),
        "lame --quiet -b 192 " + test::quoted(wav) + " " + test::quoted(dir / "sweep.mp3"),
        "ffmpeg -v error -y -i " + test::quoted(wav) + " -c:a aac -b:a 192k " + test::quoted(dir / "sweep.m4a"),
    });
    ASSERT_TRUE(failed.empty()) << failed;

    const auto volume = test::scanned(dir.path());
    core::AudioMeta meta;
    meta.artist = "Test Tones";
    meta.title = "Sweep";
    meta.durationMs = 12'000;
    std::vector<std::pair<fs::path, core::AudioMeta>> facts;
    for (const fs::path& file : {wav, other, dir / "sweep.flac", dir / "sweep.mp3", dir / "sweep.m4a"})
        facts.push_back({file, meta});
    test::attach(*volume, facts);

    const auto wavPrint = fingerprint(wav, *fpcalcPath(), kFingerprintSeconds);
    const auto otherPrint = fingerprint(other, *fpcalcPath(), kFingerprintSeconds);
    ASSERT_TRUE(wavPrint && otherPrint);
    EXPECT_GE(wavPrint->size(), 40u) << "too short a sweep for the overlap rule";
    EXPECT_LT(similarity(*wavPrint, *otherPrint), 0.75);

    DuplicateFinder::Options options;
    options.stages.insert(DupStage::fingerprint);
    DuplicateFinder finder({volume}, options);
    const auto groups = finder.run({});
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].confirmed, true);
    std::set<std::string> names;
    for (const DupMember& m : groups[0].members) names.insert(fs::path(m.path).filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"sweep.wav", "sweep.flac", "sweep.mp3", "sweep.m4a"}));
    for (const DupMember& m : groups[0].members) EXPECT_EQ(fs::path(m.path).parent_path(), dir.path());
}

}  // namespace
}  // namespace quorvanta::audio
