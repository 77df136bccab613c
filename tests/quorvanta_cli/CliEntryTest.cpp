#include "quorvanta_cli/Args.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"
#include "tests/quorvanta_cli/CliRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>

namespace quorvanta::cli {
namespace {

using test::runCli;

const std::string kGeneralUsage =
    "usage: quorvanta-cli scan|gen-tree|search|api|mcp|bench-search|snap-save|snap-load|snap-replay ...\n";

TEST(CliEntry, NumberRule) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const struct {
        const char* text;
        std::optional<std::int64_t> value;
    } cases[] = {
        {"7", 7},
        {"+7", 7},
        {"-7", -7},
        {"-0", 0},
        {"007", 7},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"7x", std::nullopt},
        {"", std::nullopt},
        {" 7", std::nullopt},
        {"7 ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-7", std::nullopt},
        {"--7", std::nullopt},
        {"7.0", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(number(c.text), c.value) << "number(\"" << c.text << "\")";
}

TEST(CliEntry, OptionReaders) {
    const Args args(
        {"search", "--volume", "/a", "text", "--limit", "5", "--volume", "--json", "--limit", "9", "--sort"});
    EXPECT_EQ(args.at(1), "--volume") << "operands are positional, even when they look like options";
    EXPECT_EQ(args.opt("--limit"), "5") << "the first occurrence wins";
    EXPECT_EQ(args.opt("--sort"), std::nullopt) << "an option as the last argument has no value";
    EXPECT_EQ(args.opt("--threads"), std::nullopt);
    EXPECT_EQ(args.opt("--volume"), "/a");
    EXPECT_EQ(args.opts("--volume"), (std::vector<std::string>{"/a", "--json"}))
        << "whatever follows an option name is its value";
    EXPECT_EQ(args.opts("--sort"), std::vector<std::string>{}) << "a last-argument occurrence adds nothing";
    EXPECT_EQ(args.opt("search"), "--volume") << "element 0 is searched too";
    EXPECT_TRUE(args.flag("--json"));
    EXPECT_FALSE(args.flag("--desc"));

    const struct {
        std::vector<std::string> args;
        std::int64_t threads;
    } numbers[] = {
        {{"scan", "/x"}, 8},
        {{"scan", "/x", "--threads", "x"}, 8},
        {{"scan", "/x", "--threads"}, 8},
        {{"scan", "/x", "--threads", "+3", "--threads", "5"}, 3},
        {{"scan", "/x", "--threads", " 3"}, 8},
        {{"scan", "/x", "--threads", "-0"}, 0},
    };
    for (const auto& c : numbers)
        EXPECT_EQ(Args(c.args).numberOr("--threads", 8), c.threads) << ::testing::PrintToString(c.args);
}

TEST(CliEntry, DispatchTableFollowsTheCommandOrder) { EXPECT_EQ(generalUsage() + "\n", kGeneralUsage); }

TEST(CliEntry, UsageTextsAndStatuses) {
    const struct {
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {{}, kGeneralUsage, 0},
        {{"nonsense"}, kGeneralUsage, 0},
        {{"SCAN", "/tmp"}, kGeneralUsage, 0},
        {{""}, kGeneralUsage, 0},
        {{"scan"}, "usage: quorvanta-cli scan <path> [--threads N] [--mode bulk|fts|fm]\n", 1},
        {{"scan", "--mode", "fts"}, "cannot open --mode\n", 1},  // operands are positional
        {{"gen-tree"}, "usage: quorvanta-cli gen-tree <path> --files N\n", 1},
    };
    for (const auto& c : cases) {
        const auto result = runCli(c.args);
        EXPECT_EQ(result.out, c.out) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.status, c.status) << ::testing::PrintToString(c.args);
        EXPECT_EQ(result.err, "") << ::testing::PrintToString(c.args);
    }
}

TEST(CliEntry, InProcessDispatchCatchesTheEndOfARun) {
    std::ostringstream out, err;
    Cli cli{Args({"gen-tree"}), out, err};
    EXPECT_EQ(run(cli), kFailed);
    EXPECT_EQ(out.str(), "usage: quorvanta-cli gen-tree <path> --files N\n");
    EXPECT_EQ(err.str(), "");
}

TEST(CliEntry, ReportLine) {
    scan_stats stats{};
    stats.files = 7;
    stats.dirs = 2;
    stats.other = 1;
    stats.errors = 3;
    stats.enoent = 4;
    stats.bytes = 999;
    stats.nested = 5;
    const struct {
        double seconds;
        std::string line;
    } cases[] = {
        {2.0, "L\tentries=10\tfiles=7\tdirs=2\tsecs=2.000\trate=5/s\terrors=3\tenoent=4\tnested=5\n"},
        {3.0, "L\tentries=10\tfiles=7\tdirs=2\tsecs=3.000\trate=3/s\terrors=3\tenoent=4\tnested=5\n"},
        {0.0015, "L\tentries=10\tfiles=7\tdirs=2\tsecs=0.002\trate=6666/s\terrors=3\tenoent=4\tnested=5\n"},
        {0.0, "L\tentries=10\tfiles=7\tdirs=2\tsecs=0.000\trate=0/s\terrors=3\tenoent=4\tnested=5\n"},
        {-1.0, "L\tentries=10\tfiles=7\tdirs=2\tsecs=-1.000\trate=0/s\terrors=3\tenoent=4\tnested=5\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        report(out, "L", stats, c.seconds);
        EXPECT_EQ(out.str(), c.line) << "seconds " << c.seconds;
    }
    EXPECT_EQ(ratePerSecond(~0ull, 1e-300), ~0ull) << "a rate beyond 64 bits saturates";
    EXPECT_EQ(ratePerSecond(5, std::numeric_limits<double>::quiet_NaN()), 0u);
}

TEST(CliEntry, EngineThreadsAreBoundedBeforeNarrowing) {
    const struct {
        std::int64_t threads;
        int engine;
    } cases[] = {{0, 1},
                 {-5, 1},
                 {1, 1},
                 {8, 8},
                 {256, 256},
                 {257, 256},
                 {4294967297, 256},
                 {std::numeric_limits<std::int64_t>::min(), 1}};
    for (const auto& c : cases) EXPECT_EQ(engineThreads(c.threads), c.engine) << c.threads;
}

TEST(CliEntry, NumberTexts) {
    EXPECT_EQ(fmt(1.005), "1.00");
    EXPECT_EQ(fmt(2.5), "2.50");
    EXPECT_EQ(fmt(-0.126), "-0.13");
    EXPECT_EQ(gb(0), "0.00 GB");
    EXPECT_EQ(gb(1'234'567'890), "1.23 GB");
    EXPECT_EQ(gb(~0ull), "18446744073.71 GB");
    const double a = now();
    const double b = now();
    EXPECT_GT(a, 0.0);
    EXPECT_GE(b, a) << "the clock is monotonic";
}

TEST(CliEntry, MemoryFiguresFollowTouchedMemory) {
    const double rssBefore = rssMB();
    const double footprintBefore = footprintMB();
    ASSERT_GT(rssBefore, 0.0);
    ASSERT_GT(footprintBefore, 0.0);
    constexpr std::size_t kBytes = 64u << 20;
    std::unique_ptr<char[]> buffer(new char[kBytes]);
    std::memset(buffer.get(), 0x5a, kBytes);
    EXPECT_GE(rssMB() - rssBefore, 60.0);
    EXPECT_GE(footprintMB() - footprintBefore, 60.0);
    EXPECT_EQ(buffer[kBytes - 1], 0x5a);
}

// The tool never links Qt: the shared libraries its link line names (the tool's own libraries are
// static, so these are every shared library it was linked with).
TEST(CliEntry, LinksNoQtLibrary) {
    const auto r = quorvanta::test::runProgram("/usr/bin/readelf", {"-d", QUORVANTA_CLI_PATH});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(NEEDED)"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("libQt"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace quorvanta::cli
