// The search and bench-search commands end to end: the built tool over trees made by gen-tree and
// by hand, checked against find, a sort of find's listing and a JSON parser.
#include "tests/quorvanta_cli/CliRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::RunOptions;
using quorvanta::test::RunResult;
using quorvanta::test::TempDir;
using test::lines;
using test::runCli;

// find's output lines for the given tests (printing with -print unless they print), leaving out
// what the scan's loop guard leaves out: gen-tree's chain of folders "d0" reaches a path that
// repeats that name six times, and the scan records such a folder without entering it.
std::vector<std::string> findLines(const fs::path& root, std::vector<std::string> tests) {
    const bool prints = std::find(tests.begin(), tests.end(), "-printf") != tests.end();
    tests.insert(tests.begin(), {root.string(), "-path", "*/d0/d0/d0/d0/d0/d0", "-prune", "-o"});
    if (!prints) tests.push_back("-print");
    const RunResult result = quorvanta::test::runProgram("/usr/bin/find", tests);
    EXPECT_EQ(result.status, 0) << result.err;
    return lines(result.out);
}

// A gen-tree tree, and beside it a hand-made root: files of known sizes, three "unique_zq" files,
// a junk file inside a recycle bin and a name that is not UTF-8.
struct Trees {
    TempDir home;
    fs::path generated = home / "QuorvantaTestTreeSearch";
    fs::path extra = home / "extra";
    RunOptions options;

    Trees() {
        options.home = home.path();
        const RunResult made = runCli({"gen-tree", generated.string(), "--files", "600"}, options);
        EXPECT_EQ(made.status, 0) << made.err;
        for (int i = 0; i < 15; ++i)
            home.write("extra/sized " + std::to_string(i) + ".dat", std::string(1000 + 37 * ((i * 7) % 15), 's'));
        for (int i = 0; i < 3; ++i) home.write("extra/unique_zq " + std::to_string(i), "u");
        home.write("extra/$RECYCLE.BIN/old remix.txt", "junk");
        home.write("extra/bad\xff remix.txt", "bad");
    }

    RunResult search(std::vector<std::string> args) const {
        args.insert(args.begin(), "search");
        return runCli(args, options);
    }
};

// The hit lines of a search (without the summary), and the summary.
std::pair<std::vector<std::string>, std::string> hitsAndSummary(const RunResult& result) {
    std::vector<std::string> all = lines(result.out);
    EXPECT_FALSE(all.empty());
    if (all.empty()) return {};
    const std::string summary = all.back();
    all.pop_back();
    return {all, summary};
}

std::int64_t summaryCount(const std::string& summary) {
    static const std::regex shape("^([0-9]+) hits · [0-9]+\\.[0-9]{2} ms$");
    std::smatch m;
    EXPECT_TRUE(std::regex_match(summary, m, shape)) << summary;
    return m.empty() ? -1 : std::stoll(m[1]);
}

std::string pathOf(const std::string& hitLine) {
    return hitLine.substr(hitLine.find('\t', hitLine.find('\t') + 1) + 1);
}

class CliSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() { trees_ = new Trees(); }
    static void TearDownTestSuite() {
        delete trees_;
        trees_ = nullptr;
    }
    static Trees* trees_;
};
Trees* CliSearch::trees_ = nullptr;

TEST_F(CliSearch, HitCountEqualsFind) {
    const Trees& t = *trees_;
    const RunResult result = t.search({"remix", "--volume", t.generated.string(), "--limit", "0"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto [hits, summary] = hitsAndSummary(result);
    EXPECT_TRUE(hits.empty());
    EXPECT_EQ(summaryCount(summary), static_cast<std::int64_t>(findLines(t.generated, {"-name", "*remix*"}).size()));
    EXPECT_GT(summaryCount(summary), 500);
}

TEST_F(CliSearch, SortedBySizeDescendingShowsTheLargest) {
    const Trees& t = *trees_;
    const RunResult result =
        t.search({"sized", "--volume", t.extra.string(), "--sort", "size", "--desc", "--limit", "10"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto [hits, summary] = hitsAndSummary(result);
    EXPECT_EQ(summaryCount(summary), 15);

    std::vector<std::pair<std::int64_t, std::string>> listed;
    for (const std::string& line : findLines(t.extra, {"-name", "sized*", "-printf", "%s %p\\n"})) {
        const auto blank = line.find(' ');
        listed.emplace_back(std::stoll(line.substr(0, blank)), line.substr(blank + 1));
    }
    std::sort(listed.begin(), listed.end(), std::greater<>());
    ASSERT_EQ(hits.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(hits[i], "-\t" + std::to_string(listed[i].first) + "\t" + listed[i].second) << i;
}

TEST_F(CliSearch, SortedByNameInByteOrder) {
    const Trees& t = *trees_;
    const RunResult result = t.search({"track", "--volume", t.generated.string(), "--sort", "name", "--limit", "40"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto [hits, summary] = hitsAndSummary(result);
    std::vector<std::string> names = findLines(t.generated, {"-name", "*track*", "-printf", "%f\\n"});
    std::sort(names.begin(), names.end());
    ASSERT_EQ(hits.size(), 40u);
    for (std::size_t i = 0; i < hits.size(); ++i) EXPECT_EQ(fs::path(pathOf(hits[i])).filename(), names[i]) << i;
}

TEST_F(CliSearch, WithoutAKnownSortTheFirstHitsInEntryOrder) {
    const Trees& t = *trees_;
    const auto all = hitsAndSummary(t.search({"remix", "--volume", t.generated.string(), "--limit", "100000"})).first;
    for (const char* sort : {"bogus", "Size"}) {
        const auto ten =
            hitsAndSummary(t.search({"remix", "--volume", t.generated.string(), "--sort", sort, "--limit", "10"}))
                .first;
        ASSERT_EQ(ten.size(), 10u) << sort;
        EXPECT_TRUE(std::equal(ten.begin(), ten.end(), all.begin())) << sort;
    }
}

TEST_F(CliSearch, FewerHitsThanTheLimit) {
    const Trees& t = *trees_;
    const RunResult result = t.search({"unique_zq", "--volume", t.extra.string(), "--limit", "50"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto [hits, summary] = hitsAndSummary(result);
    EXPECT_EQ(hits.size(), 3u);
    EXPECT_TRUE(summary.starts_with("3 hits · ")) << summary;
}

TEST_F(CliSearch, JsonDocumentOnly) {
    const Trees& t = *trees_;
    const RunResult result = t.search({"remix", "--volume", t.extra.string(), "--volume", t.generated.string(),
                                       "--json", "--limit", "5", "--sort", "name"});
    ASSERT_EQ(result.status, 0) << result.err;
    const nlohmann::json doc = nlohmann::json::parse(result.out);  // nothing but the document
    const RunResult lined =
        t.search({"remix", "--volume", t.extra.string(), "--volume", t.generated.string(), "--limit", "0"});
    EXPECT_EQ(doc["total"].get<std::int64_t>(), summaryCount(hitsAndSummary(lined).second));
    EXPECT_EQ(doc["query"], "remix");
    EXPECT_EQ(doc["shown"], 5);
    ASSERT_EQ(doc["results"].size(), 5u);
    // Name order puts "bad\xff remix.txt" first; its invalid byte is repaired.
    EXPECT_EQ(doc["results"][0]["name"], "bad\xEF\xBF\xBD remix.txt");
    const std::size_t q = result.out.find("\"query\""), r = result.out.find("\"results\""),
                      s = result.out.find("\"shown\""), tot = result.out.find("\"total\"");
    EXPECT_TRUE(q < r && r < s && s < tot) << result.out;
    EXPECT_EQ(result.out.find("\\/"), std::string::npos);
    EXPECT_NE(result.out.find(t.extra.string() + "/"), std::string::npos);
}

TEST_F(CliSearch, TwoVolumesAndJunk) {
    const Trees& t = *trees_;
    const auto count = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"remix", "--limit", "0"});
        const RunResult result = t.search(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return summaryCount(hitsAndSummary(result).second);
    };
    const std::int64_t generated = count({"--volume", t.generated.string()});
    const std::int64_t extra = count({"--volume", t.extra.string()});
    EXPECT_EQ(extra, 1);  // the junk file is hidden
    EXPECT_EQ(count({"--volume", t.generated.string(), "--volume", t.extra.string()}), generated + extra);
    EXPECT_EQ(count({"--volume", t.extra.string(), "--junk"}), 2);
    const RunResult junk = t.search({"old remix", "--volume", t.extra.string(), "--junk"});
    EXPECT_NE(junk.out.find("$RECYCLE.BIN/old remix.txt"), std::string::npos) << junk.out;
}

TEST_F(CliSearch, RefusedRuns) {
    const Trees& t = *trees_;
    const RunResult error = t.search({"ext:", "--volume", t.extra.string()});
    EXPECT_EQ(error.status, 2);
    EXPECT_EQ(error.out, "query error: invalid(\"ext: needs a value\")\n");
    EXPECT_TRUE(error.err.starts_with("indexed ")) << error.err;  // the scan came first

    const std::string usage =
        "usage: quorvanta-cli search \"<query>\" --volume <path> [--limit N] [--sort name|size|date] [--desc] [--junk] "
        "[--json]\n";
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"remix"},
        {"remix", "--limit", "5"},
        {"remix", "--volume", t.extra.string(), "--limit", "-1"},
    };
    for (const auto& args : cases) {
        const RunResult result = t.search(args);
        EXPECT_EQ(result.status, 1) << args.size();
        EXPECT_EQ(result.out, usage) << args.size();
    }
    const RunResult missing = t.search({"remix", "--volume", (t.home / "missing").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.starts_with("error: ")) << missing.out;
}

// Every line of a bench-search report, matched in order against its shape.
void expectBenchShape(const std::string& out, bool emptyIndex) {
    const std::string number = emptyIndex ? "(-?nan|-?inf|[0-9]+\\.[0-9]{2})" : "[0-9]+\\.[0-9]{2}";
    const std::string ms = "[0-9]+\\.[0-9]{2}";
    std::vector<std::string> shapes = {
        "entries=[0-9]+ arrays=" + ms + " MB \\(" + number + " B/entry\\) → " + number + " MB per 1M; rss delta=-?" +
            ms + " MB \\(" + number + " MB per 1M, includes scan-time growth slack\\)",
        "permutation\\(name\\) build: " + ms + " ms",
        "permutation\\(size\\) build: " + ms + " ms",
        "query\tkeystroke-p95 ms \\(search only, incl\\. incremental\\)",
    };
    for (const char* q : {"remix", "track_1", "d12 flac", "ext:flac size:>1", "xyzzy", "\\*\\.mp3", "d1 \\| d2 !wav",
                          "path:top1 remix"})
        shapes.push_back(std::string(q) + "\tp50=" + ms + " p95=" + ms + " max=" + ms +
                         " hits\\(full\\)=" + (emptyIndex ? "0" : "[0-9]+"));
    shapes.push_back("ALL keystrokes p95=" + ms + " ms  p99=" + ms + " ms  \\(n=[0-9]+\\)");
    for (const char* key : {"name", "path", "size", "date", "created"}) {
        shapes.push_back(std::string("permutation\\(") + key + "\\) build: " + ms + " ms");
        shapes.push_back(std::string("sort ") + key + " on [0-9]+ hits: p50=" + ms + " p95=" + ms + " ms");
    }
    std::vector<std::string> got;
    bool cancelLine = false;
    for (const std::string& line : lines(out)) {
        if (line == "note: heavy search finished before cancel") continue;
        if (std::regex_match(line, std::regex("cancel→both returned: p50=" + ms + " max=" + ms + " ms"))) {
            EXPECT_FALSE(cancelLine);
            EXPECT_EQ(got.size(), 13u) << "the cancel line follows the keystroke lines";
            cancelLine = true;
            continue;
        }
        got.push_back(line);
    }
    EXPECT_TRUE(cancelLine) << out;
    ASSERT_EQ(got.size(), shapes.size()) << out;
    for (std::size_t i = 0; i < shapes.size(); ++i)
        EXPECT_TRUE(std::regex_match(got[i], std::regex(shapes[i]))) << got[i];
}

std::int64_t keystrokes(const std::string& out) {
    std::smatch m;
    const bool found = std::regex_search(out, m, std::regex("\\(n=([0-9]+)\\)"));
    EXPECT_TRUE(found) << out;
    return found ? std::stoll(m[1]) : -1;
}

TEST(CliBenchSearch, ReportOfAGeneratedTree) {
    TempDir home;
    RunOptions options;
    options.home = home.path();
    const fs::path root = home / "QuorvantaTestTreeBench";
    ASSERT_EQ(runCli({"gen-tree", root.string(), "--files", "20000"}, options).status, 0);
    const RunResult result = runCli({"bench-search", root.string(), "--runs", "2"}, options);
    ASSERT_EQ(result.status, 0) << result.err;
    expectBenchShape(result.out, false);
    // Every entry find lists, plus the folder the loop guard records without entering.
    EXPECT_NE(result.out.find("entries=" + std::to_string(findLines(root, {}).size() + 1) + " "), std::string::npos);
    EXPECT_NE(result.out.find("remix\tp"), std::string::npos);
    EXPECT_EQ(result.out.find("remix\tp50=0.00 p95=0.00 max=0.00 hits(full)=0"), std::string::npos);
}

TEST(CliBenchSearch, EmptyIndexAndRunsBelowOne) {
    const RunResult two = runCli({"bench-search", "--runs", "2"});
    ASSERT_EQ(two.status, 0) << two.err;
    expectBenchShape(two.out, true);
    EXPECT_TRUE(std::regex_search(two.out, std::regex("B/entry\\) → -?(inf|nan) MB per 1M"))) << two.out;

    // --runs 0 and --runs -5 run the default 30 repetitions: 15 times the keystrokes of 2 runs.
    for (const char* runs : {"0", "-5"}) {
        const RunResult result = runCli({"bench-search", "--runs", runs});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(keystrokes(result.out), 15 * keystrokes(two.out)) << runs;
    }
}

}  // namespace
}  // namespace quorvanta::cli
