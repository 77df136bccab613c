// The snapshot commands end to end through the built tool: save, load, top and the event-log
// identity (CliSnapInspect), and reconcile and replay against a fresh scan (CliSnapCompare).
#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/quorvanta_cli/CliRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using core::test::FixtureTree;
using quorvanta::test::RunResult;
using quorvanta::test::TempDir;
using test::expectEachRunGives;
using test::lines;
using test::runCli;

std::size_t findCount(const fs::path& root, std::vector<std::string> tests) {
    tests.insert(tests.begin(), root.string());
    tests.insert(tests.end(), {"-printf", "x"});
    return quorvanta::test::runProgram("/usr/bin/find", tests).out.size();
}

// A fixture tree under a temporary folder, saved by snap-save to "s.idx" beside it.
struct Saved {
    TempDir dir;
    FixtureTree tree{(dir / "root").string()};
    fs::path snapshot = dir / "s.idx";
    RunResult save;

    Saved() {
        core::test::buildFixture(tree);
        tree.file("a/remix one.mp3", 3);
        tree.file("b/Remix two.flac", 4);
        save = runCli({"snap-save", tree.root(), snapshot.string(), "--threads", "2"});
    }
};

TEST(CliSnapInspect, SaveWritesALoadableSnapshot) {
    Saved s;
    ASSERT_EQ(s.save.status, 0) << s.save.out << s.save.err;
    const auto out = lines(s.save.out);
    ASSERT_EQ(out.size(), 2u) << s.save.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(out[0], m,
                                 std::regex("entries=([0-9]+) scan=[0-9.]+ s perms=[0-9.]+ s save=[0-9.]+ s "
                                            "file=[0-9]+\\.[0-9]{2} MB eventID=([0-9]+)")))
        << out[0];
    EXPECT_TRUE(std::regex_match(
        out[1], std::regex("footprint before save [0-9.]+ MB -> after [0-9.]+ MB \\([0-9.]+ MB per 1M entries\\)")))
        << out[1];

    const auto loaded = core::VolumeIndex::load(s.snapshot.string(), {});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(std::to_string(loaded->index->count()), m[1]);
    EXPECT_EQ(loaded->index->count(), findCount(s.tree.root(), {}));
    EXPECT_EQ(std::to_string(loaded->info.eventID), m[2]);
    EXPECT_EQ(loaded->info.root, s.tree.root());
    EXPECT_EQ(loaded->info.fseUUID, "");
    EXPECT_EQ(loaded->info.exclHash, 0u);
    if (!core::VolumeID::uuid(s.tree.root())) {
        EXPECT_EQ(loaded->info.uuid, "none");
    }
    EXPECT_TRUE(loaded->index->staleKeys().empty());

    // A suffix the cache writer refuses, and missing operands.
    const RunResult refused = runCli({"snap-save", s.tree.root(), (s.dir / "t.snap").string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "save failed\n");
    EXPECT_FALSE(fs::exists(s.dir / "t.snap"));
    expectEachRunGives({{"snap-save"}, {"snap-save", s.tree.root()}}, 1,
                       "usage: quorvanta-cli snap-save <root> <file.idx>\n");
}

TEST(CliSnapInspect, LoadSearchesTheSnapshot) {
    Saved s;
    ASSERT_EQ(s.save.status, 0) << s.save.err;
    const std::regex shape(
        "load=[0-9.]+ ms entries=([0-9]+) tombstones=0 eventID=[0-9]+ first search=[0-9.]+ ms "
        "\\(([0-9]+) hits\\) ordered=[0-9.]+ ms \\((-?[0-9]+)\\)");
    const std::size_t remix = findCount(s.tree.root(), {"-iname", "*remix*"});
    const std::vector<std::pair<std::vector<std::string>, std::size_t>> cases = {
        {{}, remix},
        {{"--query", "remix"}, remix},
        {{"--query", "f"}, findCount(s.tree.root(), {"-iname", "*f*", "-mindepth", "1"})},
        {{"--query", "nothing-like-this"}, 0},
    };
    for (const auto& [query, hits] : cases) {
        std::vector<std::string> args = {"snap-load", s.snapshot.string()};
        args.insert(args.end(), query.begin(), query.end());
        const RunResult result = runCli(args);
        ASSERT_EQ(result.status, 0) << result.out;
        const auto out = lines(result.out);
        ASSERT_EQ(out.size(), 2u) << result.out;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(out[0], m, shape)) << out[0];
        EXPECT_EQ(m[1], std::to_string(findCount(s.tree.root(), {})));
        EXPECT_EQ(m[2], std::to_string(hits)) << result.out;
        EXPECT_EQ(m[3], std::to_string(std::min<std::size_t>(hits, 100))) << result.out;
        EXPECT_TRUE(
            std::regex_match(out[1], std::regex("footprint=[0-9.]+ MB rss=[0-9.]+ MB; stale permutations: \\[\\]")))
            << out[1];
    }

    const RunResult error = runCli({"snap-load", s.snapshot.string(), "--query", "ext:"});
    EXPECT_EQ(error.status, 2);
    EXPECT_EQ(error.out, "query error: invalid(\"ext: needs a value\")\n");

    // Missing, truncated and absent snapshots.
    const std::string bytes = quorvanta::test::readFile(s.snapshot);
    const fs::path truncated = s.dir.write("cut.idx", bytes.substr(0, bytes.size() / 2));
    for (const fs::path& bad : {s.dir / "missing.idx", truncated}) {
        const RunResult result = runCli({"snap-load", bad.string()});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "cannot load " + bad.string() + "\n");
    }
    const RunResult usage = runCli({"snap-load"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.out, "usage: quorvanta-cli snap-load <file.idx> [--query q]\n");
}

TEST(CliSnapInspect, TopFoldersAndDepth) {
    TempDir dir;
    FixtureTree tree((dir / "root").string());
    core::test::buildFixture(tree);
    // A chain of 300 distinctly named folders, deeper than an 8-bit counter reaches.
    std::string chain = "deep";
    tree.dir(chain);
    for (int i = 0; i < 299; ++i) {
        chain += "/n" + std::to_string(i);
        tree.dir(chain);
    }
    const fs::path snapshot = dir / "t.idx";
    ASSERT_EQ(runCli({"snap-save", tree.root(), snapshot.string()}).status, 0);
    const std::size_t entries = findCount(tree.root(), {});
    const std::string summary = "entries=" + std::to_string(entries) + " max depth=300\n";

    // Depth 0: everything below the root counts under the root.
    EXPECT_EQ(runCli({"snap-top", snapshot.string(), "--depth", "0"}).out,
              std::to_string(entries - 1) + "\t" + tree.root() + "\n" + summary);
    EXPECT_EQ(runCli({"snap-top", snapshot.string(), "--depth", "-4"}).out,
              std::to_string(entries - 1) + "\t" + tree.root() + "\n" + summary);
    // Depth 1: each first-level folder counts itself and what lies below it; the files in the
    // root count themselves. Equal counts are ordered by path.
    const auto r = [&](const std::string& rel) { return tree.at(rel); };
    EXPECT_EQ(runCli({"snap-top", snapshot.string(), "--depth", "1"}).out, "300\t" + r("deep") + "\n6\t" + r("a") +
                                                                               "\n4\t" + r("x") + "\n2\t" + r("b") +
                                                                               "\n2\t" + r("d\xff") + "\n" + summary);
    // Beyond the tree: only the summary.
    EXPECT_EQ(runCli({"snap-top", snapshot.string(), "--depth", "400"}).out, summary);

    expectEachRunGives({{"snap-top"}, {"snap-top", (dir / "missing.idx").string()}}, 1, "cannot load\n");
}

TEST(CliSnapInspect, EventLogIdentity) {
    expectEachRunGives({{"snap-fseuuid"}, {"snap-fseuuid", "/tmp"}}, 0, "none\n");
}

TEST(CliSnapCompare, ReconcileAgainstAFreshScan) {
    Saved s;
    ASSERT_EQ(s.save.status, 0) << s.save.err;
    const std::regex head("reconcile: [0-9.]+ ms -> listed=[0-9]+ added=[0-9]+ removed=[0-9]+ updated=[0-9]+");
    const auto reconcile = [&] {
        const RunResult result = runCli({"snap-reconcile", s.tree.root(), s.snapshot.string()});
        const auto out = lines(result.out);
        EXPECT_FALSE(out.empty());
        if (!out.empty()) {
            EXPECT_TRUE(std::regex_match(out[0], head)) << out[0];
        }
        return result;
    };

    RunResult result = reconcile();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(lines(result.out).at(1), "DIFF vs fresh scan: 0");

    s.tree.file("added-in-root", 9);
    result = reconcile();
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(lines(result.out).at(1), "DIFF vs fresh scan: 0");

    // A file in a subfolder grows while the subfolder's time stays: the old and the new key.
    s.tree.resizeKeepingTimes("a/sub/g", 500);
    result = reconcile();
    EXPECT_EQ(result.status, 5);
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 4u) << result.out;
    EXPECT_EQ(out[1], "DIFF vs fresh scan: 2");
    const std::string path = s.tree.at("a/sub/g");
    EXPECT_TRUE(out[2].starts_with("  " + path + "|0|500|") || out[3].starts_with("  " + path + "|0|500|"))
        << result.out;
    EXPECT_TRUE(out[2].starts_with("  " + path + "|0|5|") || out[3].starts_with("  " + path + "|0|5|")) << result.out;
    EXPECT_LT(out[2], out[3]);

    // Twelve files grown in place: 24 keys, the first ten in ascending order.
    for (int i = 0; i < 12; ++i) s.tree.file("b/k" + std::to_string(10 + i), 1);
    ASSERT_EQ(runCli({"snap-save", s.tree.root(), s.snapshot.string()}).status, 0);
    for (int i = 0; i < 12; ++i) s.tree.resizeKeepingTimes("b/k" + std::to_string(10 + i), 2);
    result = reconcile();
    EXPECT_EQ(result.status, 5);
    const auto many = lines(result.out);
    ASSERT_EQ(many.size(), 12u) << result.out;
    EXPECT_EQ(many[1], "DIFF vs fresh scan: 24");
    EXPECT_TRUE(std::is_sorted(many.begin() + 2, many.end()));
    EXPECT_TRUE(many[2].starts_with("  " + s.tree.at("b/k10") + "|0|1|")) << many[2];

    expectEachRunGives({{"snap-reconcile"},
                        {"snap-reconcile", s.tree.root()},
                        {"snap-reconcile", s.tree.root(), (s.dir / "missing.idx").string()}},
                       1, "cannot load\n");
}

TEST(CliSnapCompare, ReplayOnAVolumeWithoutEventHistory) {
    Saved s;
    ASSERT_EQ(s.save.status, 0) << s.save.err;
    const RunResult result = runCli({"snap-replay", s.tree.root(), s.snapshot.string()});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.out, "FSEvents log changed ( -> ): a rescan is needed\n");

    expectEachRunGives({{"snap-replay"}, {"snap-replay", s.tree.root()}}, 1,
                       "usage: quorvanta-cli snap-replay <root> <file.idx> [--save]\n");
    const fs::path missing = s.dir / "missing.idx";
    const RunResult bad = runCli({"snap-replay", s.tree.root(), missing.string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "cannot load " + missing.string() + "\n");
}

}  // namespace
}  // namespace quorvanta::cli
