// quorvanta-headless run as a user runs it: no display, a private home, two roots made here.
#include "tests/QuorvantaApp/model/entry/EntryTestSupport.h"
#include "tests/support/RunProgram.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace quorvanta::app::test {
namespace {

using quorvanta::test::RunOptions;
using quorvanta::test::runProgram;
using quorvanta::test::RunResult;

const fs::path kHeadless = QUORVANTA_HEADLESS_PATH;

// Roots alpha and beta: ASCII names, some holding "remix", some ".flac" and ".mp3" files, a
// folder named like a FLAC file, nothing hidden or junk.
struct TwoRoots {
    TwoRoots() {
        for (const char* file : {"alpha/Remix One.flac", "alpha/two.mp3", "alpha/sets/remix-set.MP3",
                                 "alpha/sets/deep/notes.txt", "alpha/live.FLAC/track.wav", "beta/song.Flac",
                                 "beta/old remixes/a.mp3", "beta/old remixes/b.ogg", "beta/cover.jpg"})
            dir.write(file, "");
        fs::create_directories(dir / "beta/empty");
    }
    fs::path alpha() const { return dir / "alpha"; }
    fs::path beta() const { return dir / "beta"; }

    quorvanta::test::TempDir dir;
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Entries below `root` (the root itself not counted) that `keep` accepts.
template <class Keep>
std::size_t countBelow(const fs::path& root, Keep keep) {
    std::size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (keep(entry)) ++n;
    return n;
}

RunOptions noDisplay(const fs::path& home) {
    RunOptions options;
    options.home = home;
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    return options;
}

// Files in the data folder of a private home; the folder itself may exist.
std::size_t dataFiles(const fs::path& home) {
    const fs::path data = home / ".local/share/Quorvanta";
    if (!fs::exists(data)) return 0;
    return static_cast<std::size_t>(std::distance(fs::recursive_directory_iterator(data), {}));
}

TEST(HeadlessBinary, StartupBenchPrintsOneLineAndWritesNothingWithoutPersisting) {
    TwoRoots roots;
    quorvanta::test::TempDir home;
    const RunResult r = runProgram(
        kHeadless,
        {"--startup-bench", "--no-persist", "--root", roots.alpha().string(), "--root", roots.beta().string()},
        noDisplay(home.path()));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_TRUE(std::regex_match(
        lines[0],
        std::regex(R"(startup: [0-9]+ ms from main\(\) to [1-9][0-9]* rows \(alpha=[0-9]+ scan, beta=[0-9]+ scan\))")))
        << lines[0];
    EXPECT_EQ(dataFiles(home.path()), 0u);
}

TEST(HeadlessBinary, SelfTestCountsTheRootsAndRunsTheDefaultQueriesWithEverySortKey) {
    TwoRoots roots;
    quorvanta::test::TempDir home;
    // Roots first: everything after --selftest is a query.
    const RunResult r =
        runProgram(kHeadless, {"--root", roots.alpha().string(), "--root", roots.beta().string(), "--selftest"},
                   noDisplay(home.path()));
    EXPECT_EQ(r.status, 0) << r.err;
    auto lines = linesOf(r.out);
    if (!lines.empty() && lines[0].starts_with("live: ")) lines.erase(lines.begin());
    ASSERT_EQ(lines.size(), 21u) << r.out;

    const auto all = [](const fs::directory_entry&) { return true; };
    const std::size_t alpha = countBelow(roots.alpha(), all), beta = countBelow(roots.beta(), all);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex(R"(scan done in [0-9]+\.[0-9] s: alpha=)" + std::to_string(alpha + 1) +
                                              ", beta=" + std::to_string(beta + 1))))
        << lines[0];

    const auto named = [](auto test) {
        return [test](const fs::directory_entry& e) { return test(lower(e.path().filename().string()), e); };
    };
    const auto both = [&](auto keep) { return countBelow(roots.alpha(), keep) + countBelow(roots.beta(), keep); };
    const std::pair<std::string, std::size_t> queries[] = {
        {"remix", both(named([](const std::string& n, const auto&) { return n.find("remix") != std::string::npos; }))},
        {"ext:flac", both(named([](const std::string& n, const fs::directory_entry& e) {
             return e.is_regular_file() && n.ends_with(".flac");
         }))},
        {"*.mp3", both(named([](const std::string& n, const auto&) { return n.ends_with(".mp3"); }))},
        {"", alpha + beta},
    };
    std::size_t at = 1;
    for (const auto& [query, rows] : queries) {
        for (const char* key : {"name", "path", "size", "date", "created"}) {
            const std::string head = "query '" + query + "' sort " + key + ": " + std::to_string(rows) + " rows in ";
            EXPECT_TRUE(lines[at].starts_with(head) &&
                        std::regex_match(lines[at].substr(head.size()),
                                         std::regex(R"([0-9]+\.[0-9] ms \(search\+full ordering\))")))
                << "expected " << head << "…, got " << lines[at];
            ++at;
        }
    }
    EXPECT_EQ(dataFiles(home.path()), 0u);
}

TEST(HeadlessBinary, LinksNoQtLibrary) {
    const RunResult r = runProgram("/usr/bin/readelf", {"-d", kHeadless.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(NEEDED)"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("libQt"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace quorvanta::app::test
