// A chosen folder gone is not a drive gone: an internal volume of two chosen folders A and B in
// a temporary drive folder, through the live watcher and through a reconcile resume. And a drive
// unmounted without notice, in a mount namespace of its own.
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include "tests/support/ChildProcess.h"

#include <sys/mount.h>

#include <cstring>

namespace quorvanta::app::test {
namespace {

struct RootsCase {
    const char* name;
    std::vector<std::string> remove;  // below the drive folder; "" is the drive folder itself
    bool listed;                      // the volume stays in the list, online
    bool watched;                     // and has a watcher
};

const RootsCase kRootsCases[] = {
    {"A deleted", {"A"}, true, true},
    {"A and B deleted", {"A", "B"}, true, false},
    {"the drive folder deleted", {""}, false, false},
};

// The drive folder with A (a1, a2, A/sub/a3) and B (b1) and a file beside them.
FixtureTree driveWithTwoFolders(LifeWorld& world) {
    FixtureTree drive((world.dir.path() / "drive").string());
    for (const char* dir : {"A", "A/sub", "B"}) drive.dir(dir);
    for (const char* file : {"A/a1", "A/a2", "A/sub/a3", "B/b1", "beside"}) drive.file(file, 1);
    return drive;
}

// What the swapped-in volume must show when only B is left.
void expectOnlyB(const LifeWorld& world, const FixtureTree& drive, const AppModel& model,
                 const std::shared_ptr<VolumeState>& original) {
    ASSERT_EQ(model.volumes->size(), 1u);
    const auto volume = model.volumes->at(0);
    EXPECT_NE(volume, original) << "no replacement took the place";
    EXPECT_FALSE(volume->offline.get());
    EXPECT_EQ(volume->scopes(), original->scopes());
    EXPECT_EQ(volume->configHash(), original->configHash());
    EXPECT_EQ(volume->snapshotPath(), original->snapshotPath());
    EXPECT_TRUE(holds(*volume->index(), drive.at("B/b1")));
    EXPECT_FALSE(holds(*volume->index(), drive.at("A/a1")));
    EXPECT_FALSE(holds(*volume->index(), drive.at("beside")));
    (void)world;
}

// `savesBefore`: the model's background saves before the folders went, all of them ended (the
// replacement may end its scan, orders and save before this starts waiting).
void expectOutcome(LifeWorld& world, const RootsCase& c, const FixtureTree& drive, std::shared_ptr<AppModel>& model,
                   const std::shared_ptr<VolumeState>& original, std::uint64_t savesBefore) {
    if (!c.listed) {
        world.main.waitUntil([&] { return model->volumes->empty(); });
        return;
    }
    world.main.waitUntil([&] { return model->volumes->at(0) != original; });
    // Waits for the state the volume ends in, not for a count of searches: with every chosen folder
    // gone the volume can be replaced more than once, and its scans end without a search to count.
    world.main.waitUntil([&] {
        const auto& now = *model->volumes->at(0);
        return !now.scanning.get() && (!c.watched || now.watcher != nullptr);
    });
    world.main.drain();
    const auto volume = model->volumes->at(0);
    EXPECT_EQ(volume->watcher != nullptr, c.watched);
    EXPECT_FALSE(volume->updating.get() && !c.watched);
    if (c.remove.size() == 1) {
        expectOnlyB(world, drive, *model, original);
        world.waitSaves(*model, savesBefore + 1);  // the replacement saves after its orders
        const std::string snapshot = volume->snapshotPath();
        model.reset();
        const auto loaded = core::VolumeIndex::load(snapshot, {});
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->info.exclHash, original->configHash()) << "the snapshot would not be accepted";
        EXPECT_TRUE(loaded->index->missingRoots().empty());
        EXPECT_FALSE(loaded->index->reconcileByFolderMtime(2).rootMissing);
        EXPECT_TRUE(holds(*loaded->index, drive.at("B/b1")));
    } else {
        EXPECT_EQ(volume->index()->liveCount(), 0);
        EXPECT_EQ(volume->count.get(), 0);
    }
}

TEST(VolumeLifecycle, AChosenFolderGoneThroughTheWatcher) {
    for (const RootsCase& c : kRootsCases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const FixtureTree drive = driveWithTwoFolders(world);
        auto model = world.driveModel(drive.root(), true, {"A", "B"});
        const auto original = model->volumes->at(0);
        model->startScans();
        world.waitWatcher(*original);
        world.waitSaves(*model, 1);
        world.catchUp(*original);
        ASSERT_FALSE(original->updating.get());

        for (const std::string& rel : c.remove) drive.remove(rel);
        const auto saves = model->backgroundSavesForTesting();
        world.catchUp(*original);
        expectOutcome(world, c, drive, model, original, saves);
    }
}

TEST(VolumeLifecycle, AChosenFolderGoneWhileTheModelWasDown) {
    for (const RootsCase& c : kRootsCases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const FixtureTree drive = driveWithTwoFolders(world);
        {
            auto first = world.driveModel(drive.root(), true, {"A", "B"});
            const auto volume = first->volumes->at(0);
            first->startScans();
            world.waitWatcher(*volume);
            world.waitSaves(*first, 1);
        }
        for (const std::string& rel : c.remove) drive.remove(rel);

        auto model = world.driveModel(drive.root(), true, {"A", "B"});
        const auto original = model->volumes->at(0);
        ASSERT_TRUE(original->loaded());
        model->startScans();
        expectOutcome(world, c, drive, model, original, 0);
    }
}

// In a child with a mount namespace of its own (made before any thread starts), a tmpfs mounted
// on a drive folder is indexed, then unmounted with no notice; the reconcile finds the root gone.
TEST(VolumeLifecycle, ADriveUnmountedWithoutNoticeBecomesACatalogWithEveryEntry) {
    quorvanta::test::TempDir dir;
    const std::string root = (dir.path() / "usb").string();
    const auto outcome = quorvanta::test::runInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("skip unshare(CLONE_NEWNS): ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip making mounts private: ") + std::strerror(errno);
        FixtureTree tree(root);
        if (mount("tmpfs", root.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip tmpfs mount: ") + std::strerror(errno);
        core::test::buildFixture(tree);

        LifeWorld world;
        auto model = world.model({root});
        const auto volume = model->volumes->at(0);
        model->startScans();
        world.waitWatcher(*volume);
        world.waitSaves(*model, 1);
        const auto count = volume->index()->liveCount();
        if (umount2(root.c_str(), MNT_DETACH) != 0) return std::string("umount: ") + std::strerror(errno);

        model->reconcile(volume);
        world.main.waitUntil([&] { return volume->offline.get() || model->volumes->empty(); });
        if (!volume->offline.get()) return "the volume left the list instead of becoming a catalog";
        if (volume->watcher) return "the catalog kept its watcher";
        if (volume->index()->liveCount() != count) return "the catalog lost entries";
        const std::string snapshot = volume->snapshotPath();
        model.reset();
        const auto loaded = core::VolumeIndex::load(snapshot, {});
        if (!loaded) return "no snapshot";
        if (loaded->index->liveCount() != count) return "the snapshot lost entries";
        return "ok";
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);
    EXPECT_EQ(outcome.output, "ok");
}

}  // namespace
}  // namespace quorvanta::app::test
