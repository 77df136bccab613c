// Refresh: one table of fixture trees, each scanned, changed on disk and refreshed, then compared
// with a fresh scan of the same tree; the calls that change nothing; the root-presence rule; a
// full index; overlapping refreshes of one index.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <sched.h>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <functional>
#include <thread>

namespace quorvanta::core {
namespace {

using test::describe;
using test::FixtureTree;
using test::stats;

struct Case {
    const char* name;
    std::function<void(const FixtureTree&)> change;
    // Relative to the root ("" the root); absolute when starting with "/"; "~x" is the root's
    // path with "x" appended (a folder beside the root whose name starts like it).
    std::vector<std::string> dirs;
    std::vector<std::string> recursive;  // the same
    RefreshStats expected;
    std::vector<std::string> excludes = {};  // relative to the root
};

std::set<std::string> under(const FixtureTree& t, const std::vector<std::string>& paths) {
    std::set<std::string> out;
    for (const std::string& p : paths) {
        if (!p.empty() && p[0] == '~')
            out.insert(t.root() + p.substr(1));
        else
            out.insert(!p.empty() && p[0] == '/' ? p : t.at(p));
    }
    return out;
}

std::vector<std::uint32_t> liveEntries(const VolumeIndex& index) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (!index.flags(i).contains(EntryFlags::deleted) && !index.flags(i).contains(EntryFlags::root))
            out.push_back(i);
    return out;
}

// The live entries ordered by size through the installed permutation agree with a direct sort:
// entries whose size changed were reported as moved.
void expectSizeOrderCurrent(const VolumeIndex& index) {
    const std::vector<std::uint32_t> hits = liveEntries(index);
    std::vector<std::uint32_t> direct = hits;
    std::stable_sort(direct.begin(), direct.end(), [&](auto x, auto y) { return index.size(x) < index.size(y); });
    const auto ordered = index.ordered(hits, SortKey::size, false, hits.size(), 0);
    ASSERT_TRUE(ordered.has_value()) << "the size permutation is in place";
    EXPECT_EQ(*ordered, direct) << "ordered by size places each entry by its current size";
}

const Case kCases[] = {
    {"add", [](auto& t) { t.file("a/new", 3); }, {"a"}, {}, stats(1, 1, 0, 1)},
    {"delete", [](auto& t) { t.remove("a/f1"); }, {"a"}, {}, stats(1, 0, 1, 1)},
    {"resize", [](auto& t) { t.resizeKeepingTimes("a/f2", 50); }, {"a"}, {}, stats(1, 0, 0, 1)},
    {"touch", [](auto& t) { t.setTime("a/f1", test::kFixedTime + 100); }, {"a"}, {}, stats(1, 0, 0, 1)},
    {"letter-case rename", [](auto& t) { t.rename("a/f1", "a/F1"); }, {"a"}, {}, stats(1, 1, 1, 1)},
    {"folder to file",
     [](auto& t) {
         t.remove("a/sub");
         t.file("a/sub", 4);
     },
     {"a"},
     {},
     stats(1, 1, 2, 1)},
    {"file to folder, scanned below",
     [](auto& t) {
         t.remove("a/f1");
         t.dir("a/f1");
         t.dir("a/f1/deeper");
         t.file("a/f1/deeper/x", 2);
     },
     {"a"},
     {},
     stats(1, 1, 1, 1)},
    {"link in place of a folder",
     [](auto& t) {
         t.remove("a/sub");
         t.link("a/sub", "../b");
     },
     {"a", "a/sub"},
     {},
     stats(1, 1, 2, 1)},
    {"file to link",
     [](auto& t) {
         t.remove("a/f1");
         t.link("a/f1", "f2");
     },
     {"a"},
     {},
     stats(1, 1, 1, 1)},
    {"link to file",
     [](auto& t) {
         t.remove("a/l");
         t.file("a/l", 4);
     },
     {"a"},
     {},
     stats(1, 1, 1, 1)},
    {"vanished folder whose parent is a target",
     [](auto& t) { t.remove("a/sub"); },
     {"a/sub", "a"},
     {},
     stats(1, 0, 2, 1)},
    {"target below a folder removed in the same call",
     [](auto& t) { t.remove("a"); },
     {"", "a/sub"},
     {},
     stats(1, 0, 6, 0)},
    {"paths outside every root",
     [](auto&) {},
     {"/", "/nonexistent/x", "~x", "~x/a"},
     {"/nonexistent", "~x"},
     stats(0, 0, 0, 0)},
    // An excluded folder is an entry of its own: its time is set back, the change is inside.
    {"excluded folder",
     [](auto& t) {
         t.file("b/new", 1);
         t.setTime("b", test::kFixedTime);
     },
     {"b"},
     {"b"},
     stats(0, 0, 0, 0),
     {"b"}},
    {"below an excluded folder",
     [](auto& t) {
         t.file("a/sub/new", 1);
         t.setTime("a/sub", test::kFixedTime);
     },
     {"a/sub"},
     {},
     stats(0, 0, 0, 0),
     {"a/sub"}},
    {"excluded folder inside a recursive target",
     [](auto& t) {
         t.file("a/sub/new", 1);
         t.setTime("a/sub", test::kFixedTime);
         t.file("a/n", 1);
     },
     {},
     {"a"},
     stats(1, 1, 0, 1),
     {"a/sub"}},
    // Kept as "a/sub/" (one trailing "/" dropped): still the folder a/sub.
    {"excluded folder written with trailing slashes",
     [](auto& t) {
         t.file("a/sub/new", 1);
         t.setTime("a/sub", test::kFixedTime);
         t.file("a/n", 1);
     },
     {"a/sub"},
     {"a"},
     stats(1, 1, 0, 1),
     {"a/sub//"}},
    {"excluded folder written with a repeated slash",
     [](auto& t) {
         t.file("a/sub/new", 1);
         t.setTime("a/sub", test::kFixedTime);
         t.file("a/n", 1);
     },
     {"a/sub"},
     {"a"},
     stats(1, 1, 0, 1),
     {"a//sub"}},
    {"target naming a file", [](auto&) {}, {"a/f1", "a/l"}, {"b/h"}, stats(0, 0, 0, 0)},
    {"non-UTF-8 folder and file names",
     [](auto& t) {
         t.file("d\xff/new\xfd", 1);
         t.resizeKeepingTimes("d\xff/x\xfe", 9);
     },
     {"d\xff"},
     {},
     stats(1, 1, 0, 2)},
    {"recursive target lists its known subtree",
     [](auto& t) {
         t.file("a/sub/new", 1);
         t.remove("b/h");
     },
     {"b"},
     {"a"},
     stats(3, 1, 1, 2)},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class RefreshCases : public ::testing::TestWithParam<Case> {};

TEST_P(RefreshCases, MatchesAFreshScan) {
    const Case& c = GetParam();
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    std::vector<std::string> excludes;
    for (const std::string& e : c.excludes) excludes.push_back(tree.at(e));
    const auto index = test::scanOf({tree.root()}, excludes);
    index->rebuildPermutation(SortKey::size);
    index->rebuildPermutation(SortKey::date);

    c.change(tree);
    const RefreshStats got = index->refresh(under(tree, c.dirs), under(tree, c.recursive), 4);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
    EXPECT_EQ(index->deletedCount(), test::deletedFlags(*index));
    EXPECT_TRUE(test::duplicateLiveNames(*index).empty());
    expectSizeOrderCurrent(*index);

    const std::int64_t mutations = index->mutations();
    const RefreshStats again = index->refresh(under(tree, c.dirs), under(tree, c.recursive), 4);
    EXPECT_EQ(again.added + again.removed + again.updated, 0) << "a second refresh: " << describe(again);
    EXPECT_EQ(index->mutations(), mutations);
}

INSTANTIATE_TEST_SUITE_P(Refresh, RefreshCases, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

TEST(Refresh, TouchMovesTheDateOrderOnly) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const auto index = test::scanOf({tree.root()});
    for (SortKey key : {SortKey::size, SortKey::date, SortKey::created}) index->rebuildPermutation(key);
    tree.setTime("a/f1", test::kFixedTime + 100);
    ASSERT_EQ(index->refresh({tree.at("a")}, {}, 4), stats(1, 0, 0, 1));
    EXPECT_EQ(index->usablePerm(SortKey::size)->movedCount, 0u);
    EXPECT_EQ(index->usablePerm(SortKey::date)->movedCount, 1u);
    EXPECT_EQ(index->usablePerm(SortKey::created)->movedCount, 0u);
}

TEST(Refresh, ALinkTargetIsNotListedThroughTheLink) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const auto index = test::scanOf({tree.root()});
    tree.remove("a/sub");
    tree.link("a/sub", "../b");
    // Only the folder itself is named: it is gone (ENOTDIR through the link), and nothing of b
    // appears below it; its parent must be named to pick up the link.
    EXPECT_EQ(index->refresh({tree.at("a/sub")}, {}, 4), stats(0, 0, 2, 0));
    for (const std::string& line : test::dump(*index))
        EXPECT_EQ(line.find(tree.at("a/sub/")), std::string::npos) << line;
    EXPECT_EQ(index->refresh({tree.at("a")}, {}, 4), stats(1, 1, 0, 1));
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
}

TEST(Refresh, ARootGivenAsALinkIsListedThroughIt) {
    // The scan follows a root given as a link; refresh and reconcile must list it the same way,
    // or changes directly inside such a root are never picked up.
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "real").string());
    test::buildFixture(tree);
    const std::string root = (dir.path() / "root").string();
    ASSERT_EQ(::symlink("real", root.c_str()), 0);
    const auto index = test::scanOf({root});

    tree.file("new", 3);
    EXPECT_EQ(index->refresh({root}, {}, 4), stats(1, 1, 0, 0));
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {root}));

    tree.remove("new");
    tree.file("other", 5);
    const RefreshStats reconciled = index->reconcileByFolderMtime(4);
    EXPECT_EQ(reconciled.added, 1) << describe(reconciled);
    EXPECT_EQ(reconciled.removed, 1) << describe(reconciled);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {root}));
}

TEST(Refresh, CallsThatChangeNothing) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const auto index = test::scanOf({tree.root()});
    tree.file("a/sub/new", 1);
    const auto before = test::dump(*index);

    RefreshStats fullRescan;
    fullRescan.fullRescan = true;
    EXPECT_EQ(index->refresh({tree.at("a")}, {tree.root()}, 4), fullRescan) << "a recursive target equal to a root";
    EXPECT_EQ(index->refresh({}, {}, 4), RefreshStats{}) << "both sets empty";
    EXPECT_EQ(test::dump(*index), before);

    // The same root with a trailing "/" is not equal: the whole root is listed recursively.
    EXPECT_EQ(index->refresh({}, {tree.root() + "/"}, 4), stats(8, 1, 0, 1));
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));

    ASSERT_EQ(::rename(tree.root().c_str(), (dir.path() / "moved").c_str()), 0);
    RefreshStats missing;
    missing.rootMissing = true;
    const auto scanned = test::dump(*index);
    EXPECT_EQ(index->refresh({tree.at("a")}, {}, 4), missing);
    EXPECT_EQ(index->refresh({}, {}, 4), missing) << "the root check runs even with no target";
    EXPECT_EQ(index->reconcileByFolderMtime(4), missing);
    EXPECT_EQ(test::dump(*index), scanned);
}

TEST(Refresh, AnEmptyExclusionExcludesNothing) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const auto index = test::scanOf({tree.root()}, {""});
    tree.file("a/new", 3);
    EXPECT_EQ(index->refresh({tree.at("a")}, {}, 4), stats(1, 1, 0, 1));
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
}

TEST(Refresh, ARootWrittenWithATrailingSlashIsNamedWithoutIt) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const std::string root = tree.root() + "/";
    const auto index = test::scanOf({root});
    tree.file("new", 3);
    tree.file("a/new", 3);
    EXPECT_EQ(index->refresh({tree.root(), tree.at("a")}, {}, 4), stats(2, 2, 0, 1));
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {root}));
}

TEST(Refresh, AFullIndexDropsTheNewEntriesAndGoesOn) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const std::uint32_t entries = test::scanOf({tree.root()})->count();
    const auto index = test::scanOf({tree.root()}, {}, entries + 2);  // room for one more entry
    for (const char* name : {"a/n1", "a/n2", "a/n3"}) tree.file(name, 1);
    tree.remove("b/h");
    EXPECT_EQ(index->refresh({tree.at("a"), tree.at("b")}, {}, 4), stats(2, 0, 1, 2));
    EXPECT_TRUE(index->overflowed());
    EXPECT_EQ(index->deletedCount(), 1);
}

TEST(Refresh, ThreadsBelowOneStillScanNewFolders) {
    for (const int threads : {0, -7}) {
        quorvanta::test::TempDir dir;
        const FixtureTree tree((dir.path() / "root").string());
        test::buildFixture(tree);
        const auto index = test::scanOf({tree.root()});
        tree.dir("a/new");
        tree.file("a/new/inside", 1);
        EXPECT_EQ(index->refresh({tree.at("a")}, {}, threads), stats(1, 1, 0, 1)) << threads;
        EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()})) << threads;
    }
}

TEST(RefreshRootPresence, RuleTable) {
    struct Row {
        RootState now;
        bool wasMountPoint;
        bool present;
    };
    const Row rows[] = {
        {{false, false, false}, false, false},  // gone
        {{true, false, false}, false, false},   // a file now
        {{true, true, false}, false, true},     // a plain folder, as scanned
        {{true, true, true}, false, true},      // mounted since: still the folder scanned
        {{true, true, true}, true, true},       // the drive is still mounted
        {{true, true, false}, true, false},     // the empty mount folder a drive left behind
        {{false, false, false}, true, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(rootPresent(r.now, r.wasMountPoint), r.present)
            << r.now.exists << r.now.isFolder << r.now.isMountPoint << " was " << r.wasMountPoint;
}

TEST(RefreshRootPresence, ProbedStatesThroughTheIndex) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    const auto index = test::scanOf({tree.root()});
    ASSERT_FALSE(index->rootWasMountPoint(tree.root())) << "a folder in the temporary folder is no mount";
    tree.remove("a/f1");
    const auto before = test::dump(*index);
    RefreshStats missing;
    missing.rootMissing = true;
    for (const RootState state : {RootState{false, false, false}, RootState{true, false, false}}) {
        index->setRootProbeForTesting([state](const std::string&) { return state; });
        EXPECT_EQ(index->refresh({tree.at("a")}, {}, 4), missing);
        EXPECT_EQ(index->reconcileByFolderMtime(4), missing);
        EXPECT_EQ(test::dump(*index), before);
    }

    // The root leaves between the start of the call and a vanished target: nothing is removed.
    std::atomic<int> calls{0};
    index->setRootProbeForTesting([&](const std::string&) {
        return ++calls == 1 ? RootState{true, true, false} : RootState{};
    });
    tree.remove("a/sub");
    EXPECT_EQ(index->refresh({tree.at("a/sub")}, {}, 4), RefreshStats{});
    EXPECT_EQ(calls.load(), 2) << "the root is checked again before a vanished folder is removed";
    EXPECT_EQ(test::dump(*index), before);

    index->setRootProbeForTesting({});
    EXPECT_EQ(index->refresh({tree.at("a")}, {}, 4), stats(1, 0, 3, 1));
}

TEST(RefreshRootPresence, MissingRootsNamesTheRootsThatFail) {
    quorvanta::test::TempDir dir;
    const FixtureTree a((dir.path() / "a").string()), b((dir.path() / "b").string()), c((dir.path() / "c").string());
    const auto index = test::scanOf({a.root(), b.root(), c.root()});
    EXPECT_EQ(index->missingRoots(), std::vector<std::string>{});
    index->setRootProbeForTesting([&](const std::string& path) {
        return path == b.root() ? RootState{true, false, false} : RootState{true, true, false};
    });
    EXPECT_EQ(index->missingRoots(), std::vector<std::string>{b.root()});
    RefreshStats missing;
    missing.rootMissing = true;
    EXPECT_EQ(index->reconcileByFolderMtime(2), missing) << "refresh and missingRoots disagree";
    index->setRootProbeForTesting({});
    c.remove("");
    EXPECT_EQ(index->missingRoots(), std::vector<std::string>{c.root()});
}

// Both cases below mount a tmpfs inside a child process with a mount namespace of its own, so
// nothing stays mounted; they are skipped where mounting is refused.
std::string privateMounts() {
    if (unshare(CLONE_NEWNS) != 0) return std::string("skip unshare(CLONE_NEWNS): ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("skip making mounts private: ") + std::strerror(errno);
    return "";
}

void expectChildOk(const quorvanta::test::ChildOutcome& outcome) {
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);
    EXPECT_EQ(outcome.output, "ok");
}

TEST(RefreshRootPresence, UnmountedDriveLeavesItsFolderBehind) {
    quorvanta::test::TempDir dir;
    const std::string root = (dir.path() / "drive").string();
    expectChildOk(quorvanta::test::runInChild([&]() -> std::string {
        if (std::string refused = privateMounts(); !refused.empty()) return refused;
        const FixtureTree tree(root);
        if (mount("tmpfs", root.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip tmpfs mount: ") + std::strerror(errno);
        test::buildFixture(tree);
        const auto index = test::scanOf({root});
        if (!index->rootWasMountPoint(root)) return "the mounted root was not recorded as a mount point";
        if (index->refresh({tree.at("a")}, {}, 4) != stats(1, 0, 0, 0))
            return "a refresh of the mounted drive changed something";
        if (umount(root.c_str()) != 0) return std::string("umount: ") + std::strerror(errno);

        const auto before = test::dump(*index);
        RefreshStats missing;
        missing.rootMissing = true;
        if (index->refresh({root}, {}, 4) != missing) return "refresh of the empty mount folder is not rootMissing";
        if (index->reconcileByFolderMtime(4) != missing)
            return "reconcile of the empty mount folder is not rootMissing";
        if (test::dump(*index) != before || index->deletedCount() != 0) return "the index changed";
        return "ok";
    }));
}

TEST(Refresh, NewFolderOnAnotherDeviceIsNotScannedBelow) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    expectChildOk(quorvanta::test::runInChild([&]() -> std::string {
        if (std::string refused = privateMounts(); !refused.empty()) return refused;
        const auto index = test::scanOf({tree.root()});
        tree.dir("a/mnt");
        if (mount("tmpfs", tree.at("a/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip tmpfs mount: ") + std::strerror(errno);
        tree.file("a/mnt/on-the-other-device", 1);
        const RefreshStats got = index->refresh({tree.at("a")}, {}, 4);
        if (got != stats(1, 1, 0, 1)) return "stats " + describe(got);
        if (test::dump(*index) != test::freshDump(*index, {tree.root()})) return "differs from a fresh scan";
        for (const std::string& line : test::dump(*index))
            if (line.find("on-the-other-device") != std::string::npos) return "scanned below the mount: " + line;
        return "ok";
    }));
}

// Several refreshes of the same targets at once, after adds and deletes: every name is added
// once, every deletion counted once.
TEST(RefreshConcurrency, OverlappingRefreshesOfOneIndex) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    std::set<std::string> targets;
    for (int d = 0; d < 8; ++d) {
        const std::string folder = "c" + std::to_string(d);
        tree.dir(folder);
        for (int f = 0; f < 20; ++f) tree.file(folder + "/f" + std::to_string(f), f);
        targets.insert(tree.at(folder));
    }
    const auto index = test::scanOf({tree.root()});
    for (int d = 0; d < 8; ++d) {
        const std::string folder = "c" + std::to_string(d);
        for (int f = 0; f < 20; f += 3) tree.remove(folder + "/f" + std::to_string(f));
        for (int f = 0; f < 5; ++f) tree.file(folder + "/new" + std::to_string(f), 1);
        tree.dir(folder + "/newdir");
        tree.file(folder + "/newdir/inside", 1);
    }
    tree.remove("a/sub");
    targets.insert(tree.at("a"));

    std::vector<std::thread> threads;
    std::atomic<std::int64_t> added{0}, removed{0};
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            const RefreshStats s = t == 5 ? index->reconcileByFolderMtime(2) : index->refresh(targets, {}, 2);
            added += s.added;
            removed += s.removed;
        });
    for (auto& t : threads) t.join();

    EXPECT_TRUE(test::duplicateLiveNames(*index).empty());
    EXPECT_EQ(added.load(), 8 * 6 + 0);
    EXPECT_EQ(removed.load(), 8 * 7 + 2);
    EXPECT_EQ(index->deletedCount(), test::deletedFlags(*index));
    EXPECT_EQ(index->deletedCount(), 8 * 7 + 2);
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root()}));
}

}  // namespace
}  // namespace quorvanta::core
