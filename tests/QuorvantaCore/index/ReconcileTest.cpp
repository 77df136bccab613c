// Reconcile by folder modification time on fixture trees, compared with fresh scans; its blind
// spot pinned; the chunk formula and the parent-path rule as tables.
#include "QuorvantaCore/index/Reconcile.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

using test::FixtureTree;
using test::stats;

struct Fixture {
    quorvanta::test::TempDir dir;
    FixtureTree tree{(dir.path() / "root").string()};
    std::shared_ptr<VolumeIndex> index;

    Fixture() {
        test::buildFixture(tree);
        index = test::scanOf({tree.root()});
    }
    std::vector<std::string> fresh() const { return test::freshDump(*index, {tree.root()}); }
};

TEST(Reconcile, DeepAddsDeletesAndRenamesAreCaught) {
    Fixture f;
    f.tree.dir("a/sub/deep");
    f.tree.dir("a/sub/deep/er");
    f.tree.file("a/sub/deep/er/new", 4);
    f.tree.rename("a/sub/g", "a/sub/G2");
    f.tree.remove("b/h");
    f.tree.rename("x/y", "x/y2");
    f.tree.file("d\xff/new\xfe", 2);
    f.tree.remove("a/f1");
    f.tree.dir("a/f1");  // a file became a folder

    const RefreshStats got = f.index->reconcileByFolderMtime(8);
    EXPECT_EQ(test::dump(*f.index), f.fresh());
    EXPECT_EQ(f.index->deletedCount(), test::deletedFlags(*f.index));
    EXPECT_GT(got.listed, 1);
    const RefreshStats again = f.index->reconcileByFolderMtime(8);
    EXPECT_EQ(again.added + again.removed + again.updated, 0) << test::describe(again);
}

TEST(Reconcile, SizeOnlyChangeInAnUnchangedFolderIsNotSeen) {
    Fixture f;
    f.tree.resizeKeepingTimes("a/sub/g", 500);
    // Only the root is listed; the folder's time did not move, so the new size stays unseen.
    EXPECT_EQ(f.index->reconcileByFolderMtime(4), stats(1, 0, 0, 0));
    std::vector<std::string> differ;
    const auto ours = test::dump(*f.index), fresh = f.fresh();
    std::set_symmetric_difference(ours.begin(), ours.end(), fresh.begin(), fresh.end(), std::back_inserter(differ));
    ASSERT_EQ(differ.size(), 2u);
    EXPECT_EQ(differ[0].rfind(f.tree.at("a/sub/g") + "|", 0), 0u) << differ[0];
}

TEST(Reconcile, VanishedFolderAndVanishedParentRefreshTheGrandparent) {
    Fixture f;
    f.tree.remove("x/y");
    f.tree.setTime("x", test::kFixedTime);  // x's own time tells nothing: y and z are found gone
    EXPECT_EQ(f.index->reconcileByFolderMtime(4), stats(2, 0, 3, 0));
    EXPECT_EQ(test::dump(*f.index), f.fresh());
    EXPECT_EQ(f.index->deletedCount(), 3);
}

// A folder whose time moved with the same contents (a file made and removed in it) takes its
// new time at the first reconcile, so the next one does not list it again.
TEST(Reconcile, FolderTouchedWithoutChangeIsListedOnce) {
    Fixture f;
    f.tree.file("a/sub/tmp", 1);
    f.tree.remove("a/sub/tmp");
    f.tree.setTime("a/sub", test::kFixedTime + 5);
    EXPECT_EQ(f.index->reconcileByFolderMtime(4), stats(2, 0, 0, 1));
    EXPECT_EQ(f.index->reconcileByFolderMtime(4), stats(1, 0, 0, 0));
    EXPECT_EQ(test::dump(*f.index), f.fresh());
}

TEST(Reconcile, IndexOfRootsOnly) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    tree.file("one", 1);
    const FixtureTree other((dir.path() / "other").string());
    tree.fixTimes();
    const auto index = test::scanOf({tree.root(), other.root()});
    tree.file("two", 2);
    other.file("three", 3);
    EXPECT_EQ(index->reconcileByFolderMtime(4), stats(2, 2, 0, 0));
    EXPECT_EQ(test::dump(*index), test::freshDump(*index, {tree.root(), other.root()}));
}

TEST(Reconcile, DiskTimeBefore1970EqualsAStoredZero) {
    quorvanta::test::TempDir dir;
    const FixtureTree tree((dir.path() / "root").string());
    test::buildFixture(tree);
    tree.setTime("a", -1000);
    tree.setTime("a/sub", -1);
    const auto index = test::scanOf({tree.root()});
    for (std::uint32_t i = 0; i < index->count(); ++i) {
        const std::string path = index->path(i);
        if (path == tree.at("a") || path == tree.at("a/sub")) {
            EXPECT_EQ(index->mtime(i), 0u) << path;
        }
    }
    EXPECT_EQ(index->reconcileByFolderMtime(4), stats(1, 0, 0, 0));
}

TEST(Reconcile, ThreadsBelowOneAreClamped) {
    for (const int threads : {0, -3}) {
        Fixture f;
        f.tree.file("a/sub/new", 1);
        EXPECT_EQ(f.index->reconcileByFolderMtime(threads), stats(2, 1, 0, 1)) << threads;
        EXPECT_EQ(test::dump(*f.index), f.fresh()) << threads;
    }
}

TEST(ReconcileChunks, Formula) {
    struct Row {
        std::size_t folders;
        int threads;
        ReconcileChunks expected;
    };
    const Row rows[] = {
        {255, 4, {256, 1}},     {256, 4, {256, 1}},     {257, 4, {256, 2}},
        {10'000, 8, {313, 32}}, {0, 8, {256, 0}},       {1'000, 0, {256, 4}},
        {1'000, -5, {256, 4}},  {4'096, 1, {1'025, 4}}, {100'000, 1, {25'001, 4}},
    };
    for (const Row& r : rows) {
        const ReconcileChunks got = reconcileChunks(r.folders, r.threads);
        EXPECT_EQ(got, r.expected) << r.folders << " folders, " << r.threads << " threads: size " << got.size
                                   << " count " << got.count;
    }
}

}  // namespace
}  // namespace quorvanta::core
