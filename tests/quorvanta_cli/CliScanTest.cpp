#include "quorvanta_cli/ScanModes.h"
#include "tests/quorvanta_cli/CliRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fts.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::RunOptions;
using quorvanta::test::TempDir;
using test::reportFields;
using test::runCli;

// How many entries `find` lists with the given tests (one character printed per entry).
std::size_t findCount(const fs::path& root, std::vector<std::string> tests) {
    std::vector<std::string> args{root.string()};
    args.insert(args.end(), tests.begin(), tests.end());
    args.insert(args.end(), {"-printf", "x"});
    const auto result = quorvanta::test::runProgram("/usr/bin/find", args);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out.size();
}

// A gen-tree tree plus the awkward kinds: a link to a file, a link to a folder, a FIFO, a hidden
// folder with a file, and an empty folder.
struct Fixture {
    TempDir home;
    fs::path root = home / "QuorvantaTestTreeScan";
    RunOptions options;

    Fixture() {
        options.home = home.path();
        const auto made = runCli({"gen-tree", root.string(), "--files", "120"}, options);
        EXPECT_EQ(test::summaryWithoutTime(made.out), "gen-tree: 120 files, 3 dirs") << made.err;
        fs::create_symlink(root / "top0" / firstFile(), root / "file-link");
        fs::create_directory_symlink(root / "top0" / "d0", root / "dir-link");
        EXPECT_EQ(mkfifo((root / "fifo").c_str(), 0644), 0);
        fs::create_directories(root / ".hidden");
        std::ofstream(root / ".hidden" / "secret.txt") << "x";
        fs::create_directories(root / "empty");
    }

    std::string firstFile() const {
        for (const auto& entry : fs::directory_iterator(root / "top0"))
            if (entry.is_regular_file()) return entry.path().filename().string();
        return {};
    }
};

TEST(CliScan, ModesAgreeWithFind) {
    Fixture tree;
    const auto files = findCount(tree.root, {"-type", "f"});
    const auto dirs = findCount(tree.root, {"-mindepth", "1", "-type", "d"});
    const auto other = findCount(tree.root, {"-mindepth", "1", "!", "-type", "d", "!", "-type", "f"});
    ASSERT_EQ(files, 121u);
    ASSERT_EQ(dirs, 5u);
    ASSERT_EQ(other, 3u);

    const struct {
        std::vector<std::string> options;
        std::string label;
        std::size_t files, dirs, other;
    } cases[] = {
        {{}, "bulk/8", files, dirs, other},
        {{"--threads", "1"}, "bulk/1", files, dirs, other},
        {{"--mode", "FTS"}, "bulk/8", files, dirs, other},  // mode words are case-sensitive
        {{"--mode", "bulk", "--threads", "3"}, "bulk/3", files, dirs, other},
        {{"--mode", "fts"}, "fts", files, dirs, other},
        {{"--mode", "fm"}, "filemanager", files + other, dirs, 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"scan", tree.root.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto result = runCli(args, tree.options);
        ASSERT_EQ(result.status, 0) << c.label << ": " << result.out << result.err;
        ASSERT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << c.label << ": " << result.out;
        auto fields = reportFields(result.out);
        EXPECT_EQ(fields["label"], c.label);
        EXPECT_EQ(fields["files"], std::to_string(c.files)) << c.label;
        EXPECT_EQ(fields["dirs"], std::to_string(c.dirs)) << c.label;
        EXPECT_EQ(fields["entries"], std::to_string(c.files + c.dirs + c.other)) << c.label;
        EXPECT_EQ(fields["errors"], "0") << c.label;
        EXPECT_EQ(fields["enoent"], "0") << c.label;
        EXPECT_EQ(fields["nested"], "0") << c.label;
        EXPECT_TRUE(fields["rate"].ends_with("/s")) << c.label;
        EXPECT_EQ(result.err, "") << c.label;
    }
}

TEST(CliScan, StartingPoints) {
    TempDir dir;
    const auto file = dir.write("one.txt", "12345");
    const struct {
        std::vector<std::string> args;
        std::string out;  // the whole output of a failing run
        std::string files, entries;
        int status;
    } cases[] = {
        {{"scan", file.string(), "--mode", "fts"}, "", "1", "1", 0},
        {{"scan", dir.path().string(), "--mode", "fts"}, "", "1", "1", 0},
        {{"scan", (dir / "missing").string(), "--mode", "fts"},
         "cannot open " + (dir / "missing").string() + "\n",
         "",
         "",
         1},
        {{"scan", (dir / "missing").string()}, "cannot open " + (dir / "missing").string() + "\n", "", "", 1},
        {{"scan", file.string()}, "cannot open " + file.string() + "\n", "", "", 1},
        {{"scan", dir.path().string()}, "", "1", "1", 0},
        {{"scan", "", "--mode", "fts"}, "cannot open \n", "", "", 1},
        {{"scan", (dir / "missing").string(), "--mode", "fm"}, "", "", "", 1},  // silently
        {{"scan", file.string(), "--mode", "fm"}, "", "", "", 1},
    };
    for (const auto& c : cases) {
        const auto result = runCli(c.args);
        const auto what = ::testing::PrintToString(c.args);
        EXPECT_EQ(result.status, c.status) << what << ": " << result.out << result.err;
        EXPECT_EQ(result.err, "") << what;
        if (c.status != 0) {
            EXPECT_EQ(result.out, c.out) << what;
            continue;
        }
        auto fields = reportFields(result.out);
        EXPECT_EQ(fields["files"], c.files) << what;
        EXPECT_EQ(fields["entries"], c.entries) << what;
        EXPECT_EQ(fields["dirs"], "0") << what;
    }
}

TEST(CliScan, BulkLabelsShowTheThreadCountAsRead) {
    TempDir dir;
    dir.write("a/b.txt", "b");
    const struct {
        std::string threads, label;
    } cases[] = {
        {"0", "bulk/0"},                      // one worker
        {"1000", "bulk/1000"},                // 256 workers
        {"99999999999", "bulk/99999999999"},  // beyond 32 bits: bounded, not cut
        {"-5", "bulk/-5"},
        {"+2", "bulk/2"},
        {"two", "bulk/8"},
    };
    for (const auto& c : cases) {
        const auto result = runCli({"scan", dir.path().string(), "--threads", c.threads});
        ASSERT_EQ(result.status, 0) << c.threads << ": " << result.out << result.err;
        auto fields = reportFields(result.out);
        EXPECT_EQ(fields["label"], c.label);
        EXPECT_EQ(fields["entries"], "2") << c.threads;
    }
}

TEST(CliScan, FtsEntryKinds) {
    const struct {
        int info, errorNumber, level;
        FtsTally tally;
    } cases[] = {
        {FTS_D, 0, 0, FtsTally::nothing},  // the starting folder is not counted
        {FTS_D, 0, 1, FtsTally::dir},
        {FTS_D, 0, 5, FtsTally::dir},
        {FTS_DP, 0, 1, FtsTally::nothing},
        {FTS_DP, 0, 0, FtsTally::nothing},
        {FTS_F, 0, 0, FtsTally::file},
        {FTS_F, 0, 3, FtsTally::file},
        {FTS_SL, 0, 1, FtsTally::other},
        {FTS_SL, 0, 0, FtsTally::other},
        {FTS_SLNONE, 0, 1, FtsTally::other},
        {FTS_DC, 0, 2, FtsTally::other},
        {FTS_DEFAULT, 0, 1, FtsTally::other},
        {FTS_DNR, EACCES, 1, FtsTally::error},
        {FTS_DNR, ENOENT, 1, FtsTally::enoent},  // vanished during the walk
        {FTS_ERR, EIO, 2, FtsTally::error},
        {FTS_ERR, ENOENT, 2, FtsTally::enoent},
        {FTS_NS, ENOENT, 1, FtsTally::enoent},
        {FTS_NS, ELOOP, 1, FtsTally::error},
        {FTS_NS, ENOENT, 0, FtsTally::cannotOpen},  // glibc hands back a missing root this way
        {FTS_DNR, EACCES, 0, FtsTally::cannotOpen},
        {FTS_ERR, EIO, 0, FtsTally::cannotOpen},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ftsTally(c.info, c.errorNumber, c.level), c.tally)
            << "info " << c.info << ", errno " << c.errorNumber << ", level " << c.level;
}

TEST(CliScan, ModeWordsAndRootsInProcess) {
    TempDir dir;
    dir.write("a/b/c.txt", "abc");
    dir.write("a/.d", "");
    scan_stats fts{}, fm{};
    ASSERT_EQ(scan_fts(dir.path().string() + "/", fts), 0);
    ASSERT_EQ(scan_fm(dir.path().string() + "/", fm), 0);
    EXPECT_EQ(fts.files, 2u);
    EXPECT_EQ(fts.dirs, 2u);
    EXPECT_EQ(fts.bytes, 3u);
    EXPECT_EQ(fm.files, 2u);
    EXPECT_EQ(fm.dirs, 2u);
    EXPECT_EQ(fm.bytes, 3u);

    scan_stats bulk{};
    ASSERT_EQ(scan_bulk(dir.path().string(), 8, bulk), 0);
    EXPECT_EQ(bulk.files, 2u);
    EXPECT_EQ(bulk.dirs, 2u);
    EXPECT_EQ(bulk.bytes, 3u);

    scan_stats untouched{};
    untouched.files = 42;
    EXPECT_EQ(scan_fts((dir / "none").string(), untouched), -1);
    EXPECT_EQ(scan_fm((dir / "none").string(), untouched), -1);
    EXPECT_EQ(untouched.files, 42u) << "a root that cannot be opened leaves the record alone";
}

// Scans "." with bulk, fts and fm as an unprivileged user in a child process, the working folder set to
// root before privileges are dropped (so the folders above root need not be open to that user).
// Answers "<result> <files> <dirs> <errors> <enoent>" per mode, fm without enoent, "|" between.
std::string scanAsNobody(const fs::path& root) {
    const auto child = quorvanta::test::runInChild([&]() -> std::string {
        if (chdir(root.c_str()) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return "cannot drop privileges";
        scan_stats bulk{}, fts{}, fm{};
        const int bulkResult = scan_bulk(".", 2, bulk);
        const int ftsResult = scan_fts(".", fts);
        const int fmResult = scan_fm(".", fm);
        std::ostringstream text;
        text << bulkResult << ' ' << bulk.files << ' ' << bulk.dirs << ' ' << bulk.errors << ' ' << bulk.enoent << " | "
             << ftsResult << ' ' << fts.files << ' ' << fts.dirs << ' ' << fts.errors << ' ' << fts.enoent << " | "
             << fmResult << ' ' << fm.files << ' ' << fm.dirs << ' ' << fm.errors;
        return text.str();
    });
    return child.succeeded ? child.output : "child failed: " + child.output;
}

TEST(CliScan, UnreadableFoldersAreCountedAndSkipped) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to an unprivileged user";
    TempDir dir;
    dir.write("a/file.txt", "1234");
    dir.write("a/b/.keep", "");
    dir.write("locked/hidden.txt", "x");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "locked", fs::perms::none);
    const auto scan = scanAsNobody(dir.path());
    fs::permissions(dir / "locked", fs::perms::owner_all);
    EXPECT_EQ(scan, "0 2 3 1 0 | 0 2 3 1 0 | 0 2 3 1") << "bulk | fts | fm";

    fs::permissions(dir.path(), fs::perms::none);
    const auto unreadableRoot = scanAsNobody(dir.path());
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(unreadableRoot, "-1 0 0 0 0 | -1 0 0 0 0 | -1 0 0 0") << "an unreadable root cannot be walked";
}

}  // namespace
}  // namespace quorvanta::cli
