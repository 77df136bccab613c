#include "quorvanta_cli/GenTreeCommand.h"
#include "tests/quorvanta_cli/CliRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::RunOptions;
using quorvanta::test::TempDir;
using test::runCli;
using test::summaryWithoutTime;

const std::string kRefusal = "refusing: gen-tree only writes to ~/QuorvantaTestTree*\n";
constexpr std::array kExtensions{"mp3", "flac", "wav", "aiff", "jpg", "txt", "pdf", "mov", "zip", "swift"};

// Every path below a folder (links not followed) with its kind, size and modification time.
std::map<std::string, std::string> listing(const fs::path& root) {
    std::map<std::string, std::string> entries;
    if (!fs::exists(fs::symlink_status(root))) return entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        lstat(it->path().c_str(), &st);
        entries[fs::relative(it->path(), root).string()] =
            std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
            std::to_string(st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1'000'000'000ll);
    }
    return entries;
}

struct Counts {
    std::size_t files = 0, dirs = 0;
};
Counts countTree(const fs::path& root) {
    Counts counts;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_symlink()) continue;
        if (entry.is_directory())
            ++counts.dirs;
        else if (entry.is_regular_file())
            ++counts.files;
    }
    return counts;
}

// One home folder for a test, and a folder beside it that gen-tree must never touch.
struct Homes {
    TempDir home;
    TempDir outside;
    RunOptions options;
    Homes() { options.home = home.path(); }

    quorvanta::test::RunResult gen(const std::string& path, const std::string& files) const {
        return runCli({"gen-tree", path, "--files", files}, options);
    }
};

TEST(CliGenTree, RefusesEverythingButATestTreeInHome) {
    Homes homes;
    fs::create_directories(homes.home / "x");
    fs::create_directory_symlink(homes.outside.path(), homes.home / "link");
    fs::create_directory_symlink(homes.outside.path(), homes.home / "QuorvantaTestTreeLinked");
    const auto parentOfHome = homes.home.path().parent_path();
    const std::string home = homes.home.path().string();
    const std::string cases[] = {
        "~",
        "~/",
        home,
        home + "/",
        (homes.outside / "QuorvantaTestTreeX").string(),
        "~/Documents",
        "~/QuorvantaTestTree/..",
        "~/x/../../QuorvantaTestTreeA",  // ".." over an existing folder leaves home
        "~/link/QuorvantaTestTreeB",     // a link leads out of home
        "~/QuorvantaTestTreeLinked",     // the root itself is a link out of home
        "~/link/sub/QuorvantaTestTreeC",
        "QuorvantaTestTreeRelative",
        "/media/QuorvantaTestTree",
        "/mnt/QuorvantaTestTree",
        "~QuorvantaTestTree",
    };
    const auto homeBefore = listing(homes.home.path());
    const auto outsideBefore = listing(homes.outside.path());
    const auto besideHomeBefore = fs::exists(parentOfHome / "QuorvantaTestTreeA");
    for (const auto& path : cases) {
        const auto result = homes.gen(path, "60");
        EXPECT_EQ(result.out, kRefusal) << path;
        EXPECT_EQ(result.status, 2) << path;
        EXPECT_EQ(result.err, "") << path;
    }
    EXPECT_EQ(listing(homes.home.path()), homeBefore) << "a refusal created something in home";
    EXPECT_EQ(listing(homes.outside.path()), outsideBefore) << "a refusal wrote outside home";
    EXPECT_EQ(fs::exists(parentOfHome / "QuorvantaTestTreeA"), besideHomeBefore);
    EXPECT_FALSE(fs::exists("/media/QuorvantaTestTree"));
}

TEST(CliGenTree, AcceptsTestTreesBelowHome) {
    Homes homes;
    fs::create_directories(homes.home / "real");
    fs::create_directory_symlink(homes.home / "real", homes.home / "inner-link");
    const struct {
        std::string path;
        fs::path created;
    } cases[] = {
        {"~/QuorvantaTestTreeA", homes.home / "QuorvantaTestTreeA"},
        {"~/sub/QuorvantaTestTree-2", homes.home / "sub/QuorvantaTestTree-2"},
        {homes.home.path().string() + "/./QuorvantaTestTreeB/", homes.home / "QuorvantaTestTreeB"},
        {"~/inner-link/QuorvantaTestTreeC", homes.home / "real/QuorvantaTestTreeC"},  // a link within home
    };
    for (const auto& c : cases) {
        const auto result = homes.gen(c.path, "3");
        EXPECT_EQ(result.status, 0) << c.path << ": " << result.out;
        EXPECT_EQ(summaryWithoutTime(result.out), "gen-tree: 3 files, 1 dirs") << c.path;
        EXPECT_EQ(countTree(c.created).files, 3u) << c.path;
    }
    EXPECT_TRUE(fs::is_empty(homes.outside.path()));
}

TEST(CliGenTree, ShapeOfTheTree) {
    const struct {
        std::string files;
        std::string summary;
        std::size_t onDiskFiles, onDiskDirs;
    } cases[] = {
        {"0", "gen-tree: 0 files, 0 dirs", 0, 0},       {"-4", "gen-tree: 0 files, 0 dirs", 0, 0},
        {"50", "gen-tree: 50 files, 1 dirs", 50, 1},    {"51", "gen-tree: 51 files, 2 dirs", 51, 2},
        {"351", "gen-tree: 351 files, 8 dirs", 351, 8},
    };
    for (const auto& c : cases) {
        Homes homes;
        const auto root = homes.home / "QuorvantaTestTree";
        const auto result = homes.gen("~/QuorvantaTestTree", c.files);
        EXPECT_EQ(result.status, 0) << c.files;
        EXPECT_EQ(summaryWithoutTime(result.out), c.summary) << c.files;
        ASSERT_TRUE(fs::is_directory(root)) << "the root is created even for no files";
        const auto counts = countTree(root);
        EXPECT_EQ(counts.files, c.onDiskFiles) << c.files;
        EXPECT_EQ(counts.dirs, c.onDiskDirs) << c.files;
    }

    Homes homes;
    const auto root = homes.home / "QuorvantaTestTree";
    ASSERT_EQ(summaryWithoutTime(homes.gen("~/QuorvantaTestTree", "351").out), "gen-tree: 351 files, 8 dirs");
    const auto deepest = root / "top0/d0/d0/d0/d0/d0/d0";
    EXPECT_EQ(countTree(deepest).files, 50u) << "depth 6 holds files";
    EXPECT_EQ(countTree(deepest).dirs, 0u) << "depth 6 holds no subfolder";
    EXPECT_EQ(countTree(root / "top0/d0/d0/d0/d0/d0/d1").files, 1u);
    EXPECT_FALSE(fs::exists(root / "top1"));
}

TEST(CliGenTree, FileNames) {
    Homes homes;
    const auto root = homes.home / "QuorvantaTestTreeNames";
    ASSERT_EQ(summaryWithoutTime(homes.gen("~/QuorvantaTestTreeNames", "998").out), "gen-tree: 998 files, 20 dirs");
    const std::regex name("track_([0-9]+)_([0-9]+) remix\\.(mp3|flac|wav|aiff|jpg|txt|pdf|mov|zip|swift)");
    std::size_t wrapped = 0, firsts = 0;
    std::set<std::string> extensions;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const auto file = entry.path().filename().string();
        std::smatch match;
        ASSERT_TRUE(std::regex_match(file, match, name)) << file;
        extensions.insert(match[3]);
        EXPECT_EQ(fs::file_size(entry.path()), 0u) << file;
        EXPECT_EQ(entry.status().permissions() & fs::perms::owner_write, fs::perms::owner_write);
        if (file.starts_with("track_47_0 remix.")) ++wrapped;
        if (file.starts_with("track_0_0 remix.")) ++firsts;
    }
    EXPECT_EQ(wrapped, 1u) << "the 998th file carries 0 again";
    EXPECT_EQ(firsts, 1u);
    EXPECT_GT(extensions.size(), 5u) << "extensions are picked from the whole list";
}

TEST(CliGenTree, SecondRunChangesNothing) {
    Homes homes;
    const auto root = homes.home / "QuorvantaTestTreeAgain";
    const auto first = homes.gen("~/QuorvantaTestTreeAgain", "120");
    ASSERT_EQ(first.status, 0);
    // Content written into a generated file must survive a second run.
    fs::path someFile;
    for (const auto& entry : fs::directory_iterator(root / "top0"))
        if (entry.is_regular_file()) someFile = entry.path();
    std::ofstream(someFile) << "kept";
    const auto before = listing(root);
    const auto second = homes.gen("~/QuorvantaTestTreeAgain", "120");
    EXPECT_EQ(summaryWithoutTime(second.out), summaryWithoutTime(first.out));
    EXPECT_EQ(listing(root), before);
    EXPECT_EQ(quorvanta::test::readFile(someFile), "kept");
}

TEST(CliGenTree, PlantedFifosAndLinksNeitherBlockNorLeadOut) {
    Homes homes;
    const auto root = homes.home / "QuorvantaTestTreeTraps";
    fs::create_directories(root / "top0");
    for (const char* ext : kExtensions) {
        ASSERT_EQ(mkfifo((root / "top0" / (std::string("track_0_0 remix.") + ext)).c_str(), 0644), 0);
        fs::create_symlink(homes.outside / (std::string("victim.") + ext),
                           root / "top0" / (std::string("track_1_1 remix.") + ext));
    }
    fs::create_directory_symlink(homes.outside.path(), root / "top0" / "d0");
    auto options = homes.options;
    options.killAfter = std::chrono::seconds(60);
    const auto result = runCli({"gen-tree", root.string(), "--files", "120"}, options);
    EXPECT_FALSE(result.timedOut) << "gen-tree blocked on a FIFO";
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(summaryWithoutTime(result.out), "gen-tree: 120 files, 3 dirs");
    EXPECT_TRUE(fs::is_empty(homes.outside.path())) << "gen-tree wrote through a planted link";
    for (const char* ext : kExtensions)
        EXPECT_TRUE(fs::is_fifo(root / "top0" / (std::string("track_0_0 remix.") + ext)));

    // A link planted as the first top folder.
    Homes other;
    const auto linked = other.home / "QuorvantaTestTreeTop";
    fs::create_directories(linked);
    fs::create_directory_symlink(other.outside.path(), linked / "top0");
    const auto second = other.gen("~/QuorvantaTestTreeTop", "60");
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(summaryWithoutTime(second.out), "gen-tree: 60 files, 2 dirs") << "failures count as attempts";
    EXPECT_TRUE(fs::is_empty(other.outside.path())) << "gen-tree descended a planted link";
}

TEST(CliGenTree, TargetCheckInProcess) {
    TempDir home;
    fs::create_directories(home / "a/b");
    const auto target = genTreeTarget("~/a/b/c/QuorvantaTestTreeZ", home.path());
    ASSERT_TRUE(target);
    EXPECT_EQ(target->root, home / "a/b/c/QuorvantaTestTreeZ");
    EXPECT_EQ(target->existingParent, fs::canonical(home / "a/b"));
    EXPECT_EQ(target->toCreate, fs::path("c/QuorvantaTestTreeZ"));
    EXPECT_FALSE(genTreeTarget("~/QuorvantaTestTree", ""));
    EXPECT_FALSE(genTreeTarget("~/QuorvantaTestTree", "relative/home"));
    EXPECT_FALSE(genTreeTarget("/QuorvantaTestTree", "/"));
    EXPECT_FALSE(genTreeTarget("~/QuorvantaTestTree", home / "missing-home"));
}

}  // namespace
}  // namespace quorvanta::cli
