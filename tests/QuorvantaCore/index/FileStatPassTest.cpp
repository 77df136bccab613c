// The file stat pass after a reconcile: files written in place (no folder time moved) are
// brought to what a fresh scan sees; folders the reconcile listed are skipped; vanished entries
// and kind changes are left to a refresh; a missing root changes nothing.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/index/RefreshTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

using test::FixtureTree;

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

FileStatStats statStats(std::int64_t checked, std::int64_t skipped, std::int64_t updated) {
    FileStatStats s;
    s.checked = checked;
    s.skipped = skipped;
    s.updated = updated;
    return s;
}

std::uint64_t sizeAt(const VolumeIndex& index, const std::string& path) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (!index.flags(i).contains(EntryFlags::deleted) && index.path(i) == path) return index.size(i);
    ADD_FAILURE() << "no live entry " << path;
    return 0;
}

TEST(FileStatPass, InPlaceWritesMissedByTheReconcileAreRead) {
    Fixture f;
    f.tree.resizeKeepingTimes("a/sub/g", 500);
    f.tree.setTime("b/h", test::kFixedTime + 60);
    f.tree.resizeKeepingTimes("d\xff/x\xfe", 9);
    f.tree.setTime("d\xff", test::kFixedTime);
    std::set<std::string> listed;
    ASSERT_EQ(f.index->reconcileByFolderMtime(4, &listed), test::stats(1, 0, 0, 0));
    EXPECT_EQ(listed, std::set<std::string>{f.tree.root()});
    ASSERT_NE(test::dump(*f.index), f.fresh()) << "the reconcile alone saw the in-place writes";

    const std::int64_t mutations = f.index->mutations();
    // The seven non-folder entries; the root's own files (none here) were listed.
    EXPECT_EQ(f.index->statFilesInPlace(4, listed), statStats(7, 0, 3));
    EXPECT_EQ(test::dump(*f.index), f.fresh());
    EXPECT_EQ(f.index->mutations(), mutations + 1);
    EXPECT_EQ(f.index->statFilesInPlace(4, listed), statStats(7, 0, 0)) << "a second pass found changes";
    EXPECT_EQ(f.index->mutations(), mutations + 1);
}

TEST(FileStatPass, ListedFoldersAreSkipped) {
    Fixture f;
    f.tree.resizeKeepingTimes("a/sub/g", 500);
    f.tree.resizeKeepingTimes("b/h", 70);
    // a holds f1, f2 and l, a/sub holds g: four skipped, three read, b/h rewritten.
    EXPECT_EQ(f.index->statFilesInPlace(0, {f.tree.at("a/sub"), f.tree.at("a")}), statStats(3, 4, 1));
    EXPECT_EQ(sizeAt(*f.index, f.tree.at("a/sub/g")), 5u) << "a file of a skipped folder was read";
    EXPECT_EQ(sizeAt(*f.index, f.tree.at("b/h")), 70u);
}

TEST(FileStatPass, VanishedEntriesAndKindChangesAreLeftToARefresh) {
    Fixture f;
    const auto before = test::dump(*f.index);
    f.tree.remove("b/h");
    f.tree.remove("a/f1");
    f.tree.dir("a/f1");
    f.tree.fixTimes();
    EXPECT_EQ(f.index->statFilesInPlace(2, {}), statStats(6, 0, 0));
    EXPECT_EQ(test::dump(*f.index), before);
}

TEST(FileStatPass, AMissingRootChangesNothing) {
    Fixture f;
    f.tree.resizeKeepingTimes("a/sub/g", 500);
    const auto before = test::dump(*f.index);
    f.index->setRootProbeForTesting([](const std::string&) { return RootState{}; });
    FileStatStats missing;
    missing.rootMissing = true;
    EXPECT_EQ(f.index->statFilesInPlace(4, {}), missing);
    EXPECT_EQ(test::dump(*f.index), before);
}

}  // namespace
}  // namespace quorvanta::core
