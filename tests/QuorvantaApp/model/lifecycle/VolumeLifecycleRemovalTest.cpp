// Taking volumes out of service: removeVolume as a table, a volume removed while it or its
// replacement scans, late results of a watcher, and the synchronous save under a live stream.
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

#include <thread>

namespace quorvanta::app::test {
namespace {

struct RemovalCase {
    const char* name;
    std::optional<bool> keepOffline;
    bool internal;
    bool scanning;
    bool persist;
    bool catalog;  // stays listed as an offline catalog
    bool saved;    // the snapshot holds the volume's last change
};

TEST(VolumeLifecycle, RemoveVolume) {
    const RemovalCase cases[] = {
        {"keepOffline absent", std::nullopt, false, false, true, true, true},
        {"keepOffline true", true, false, false, true, true, true},
        {"keepOffline false", false, false, false, true, false, true},
        {"internal", std::nullopt, true, false, true, false, true},
        {"scanning", std::nullopt, false, true, true, false, false},
        {"persist off", std::nullopt, false, false, false, false, false},
    };
    for (const RemovalCase& c : cases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const FixtureTree tree = world.tree("drive");
        if (c.keepOffline) world.settings.setBoolean(AppModel::kKeepOfflineKey, *c.keepOffline);
        auto model = world.driveModel(tree.root(), c.internal, {}, c.persist);
        ASSERT_EQ(model->volumes->size(), 1u);
        const auto volume = model->volumes->at(0);
        Gate scan;
        if (c.scanning) holdNextScan(world, scan);
        model->startScans();
        if (c.scanning) {
            scan.waitUntilHeld();
        } else if (c.persist) {
            world.waitWatcher(*volume);
            world.waitSaves(*model, 1);
            world.catchUp(*volume);
            tree.file("b/late", 8);
            world.catchUp(*volume);
            ASSERT_TRUE(holds(*volume->index(), tree.at("b/late")));
        } else {
            world.waitScanned(*volume);
        }

        model->removeVolume(volume);
        EXPECT_EQ(volume->watcher, nullptr);
        if (c.catalog) {
            ASSERT_EQ(model->volumes.get(), AppModel::Volumes{volume});
            EXPECT_TRUE(volume->offline.get());
            EXPECT_FALSE(volume->updating.get());
            EXPECT_EQ(volume->catalogDate, lifecycle::dateNow(world.clock));
        } else {
            EXPECT_TRUE(model->volumes->empty());
        }
        if (c.scanning) {
            scan.release();
            world.main.waitUntil([&] { return volume->cancelled; });
            EXPECT_TRUE(world.prefs.sources().at(tree.root()).enabled) << "a removal is no cancellation by the user";
        }
        world.main.drain();
        const std::string snapshot = volume->snapshotPath();
        model.reset();
        const auto loaded = core::VolumeIndex::load(snapshot, {});
        EXPECT_EQ(loaded.has_value(), c.saved);
        if (loaded && c.saved) {
            EXPECT_TRUE(holds(*loaded->index, tree.at("b/late")));
            EXPECT_EQ(loaded->index->liveCount(), volume->index()->liveCount());
        }
    }
}

TEST(VolumeLifecycle, RemovingAnUnlistedVolumeDoesNothing) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    world.settings.setBoolean(AppModel::kKeepOfflineKey, false);
    auto model = world.driveModel(tree.root(), false);
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.waitSaves(*model, 1);
    model->removeVolume(volume);
    ASSERT_TRUE(model->volumes->empty());
    const auto generation = model->generation();
    const std::string saved = fileBytes(volume->snapshotPath());
    world.clock.advance(10s);
    model->removeVolume(volume);  // a second unmount notification
    EXPECT_EQ(model->generation(), generation) << "no search";
    EXPECT_TRUE(model->volumes->empty());
    EXPECT_EQ(fileBytes(volume->snapshotPath()), saved) << "saved again";
}

TEST(VolumeLifecycle, AVolumeRemovedDuringItsFirstScanKeepsItsLastSnapshot) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    world.settings.setBoolean(AppModel::kKeepOfflineKey, false);
    std::string snapshot;
    {
        auto first = world.driveModel(tree.root(), false);
        const auto volume = first->volumes->at(0);
        first->startScans();
        world.waitWatcher(*volume);
        world.waitSaves(*first, 1);
        snapshot = volume->snapshotPath();
    }
    const std::string before = fileBytes(snapshot);
    ASSERT_FALSE(before.empty());

    world.resumeMode = std::nullopt;  // the snapshot is not resumed: a full scan
    auto model = world.driveModel(tree.root(), false);
    const auto volume = model->volumes->at(0);
    Gate scan;
    holdNextScan(world, scan);
    model->startScans();
    scan.waitUntilHeld();
    model->removeVolume(volume);
    scan.release();
    world.main.waitUntil([&] { return volume->cancelled; });
    world.main.drain();
    model.reset();  // every queued save has run
    EXPECT_EQ(fileBytes(snapshot), before) << "the partial scan was saved over the last snapshot";
    EXPECT_EQ(volume->watcher, nullptr);
    EXPECT_TRUE(world.prefs.sources().at(tree.root()).enabled);
}

TEST(VolumeLifecycle, ARescanEndingAfterItsVolumeLeftWritesNothing) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    world.settings.setBoolean(AppModel::kKeepOfflineKey, false);
    auto model = world.driveModel(tree.root(), false);
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.waitSaves(*model, 1);
    world.catchUp(*volume);

    Gate scan;
    holdNextScan(world, scan);
    model->rescan(volume);
    const auto replacement = volume->pendingScan;
    ASSERT_TRUE(replacement);
    scan.waitUntilHeld();
    model->removeVolume(volume);
    const std::string saved = fileBytes(volume->snapshotPath());
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(volume->pendingScan, nullptr);
    EXPECT_EQ(replacement->replacing, nullptr);
    scan.release();
    world.main.waitUntil([&] { return !replacement->index()->isScanning(); });
    world.main.drain();
    EXPECT_TRUE(model->volumes->empty());
    model.reset();
    EXPECT_EQ(fileBytes(volume->snapshotPath()), saved);
    EXPECT_EQ(replacement->watcher, nullptr);
}

TEST(VolumeLifecycle, AVolumeGoingOfflineWhileItsReplacementScansStaysACatalog) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    auto model = world.driveModel(tree.root(), false);
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.catchUp(*volume);
    const auto count = volume->index()->liveCount();

    Gate scan;
    holdNextScan(world, scan);
    model->rescan(volume);
    const auto replacement = volume->pendingScan;
    ASSERT_TRUE(replacement);
    scan.waitUntilHeld();
    model->removeVolume(volume);
    ASSERT_TRUE(volume->offline.get());
    scan.release();
    world.main.waitUntil([&] { return !replacement->index()->isScanning(); });
    world.main.drain();
    EXPECT_TRUE(replacement->cancelled) << "the replacement went on scanning";
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{volume});
    EXPECT_TRUE(volume->offline.get());
    EXPECT_EQ(volume->index()->liveCount(), count);
}

TEST(VolumeLifecycle, AMustRescanPostedBeforeGoingOfflineChangesNothing) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    auto recorded = std::make_shared<platform::RecordedSource>(platform::Journal{"journal-1", {}});
    world.events = std::make_shared<CountingSource>(recorded);
    auto model = world.driveModel(tree.root(), false);
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.catchUp(*volume);

    // Events were dropped for the whole drive: only a rescan can help. Its request is posted
    // to the main queue, and the drive goes before the queue runs it.
    recorded->push({{recorded->currentId() + 1, platform::kMustScanSubDirs, tree.root()}});
    const auto watcher = volume->watcher;
    watcher->isCaughtUp();
    world.clock.advance(1s);
    watcher->isCaughtUp();
    model->goOffline(volume);
    world.main.drain();
    EXPECT_EQ(volume->pendingScan, nullptr) << "a catalog was rescanned";
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{volume});
    EXPECT_TRUE(volume->offline.get());
    EXPECT_FALSE(volume->updating.get());
}

TEST(VolumeLifecycle, ASynchronousSaveUnderALiveStreamWritesWhatWasApplied) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    auto recorded = std::make_shared<platform::RecordedSource>(platform::Journal{"journal-1", {}});
    world.events = std::make_shared<CountingSource>(recorded);
    auto model = world.driveModel(tree.root(), false);
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.catchUp(*volume);

    // Batches keep coming while the drive goes offline; each one is applied at the watcher's
    // own pace (the flush of goOffline applies what is pending).
    std::atomic<bool> stop{false};
    std::atomic<int> pushed{0};
    std::thread pusher([&] {
        for (int k = 0; !stop.load() && k < 5000; ++k) {
            const std::string name = "p" + std::to_string(k);
            tree.file("b/" + name, 1);
            recorded->push({{recorded->currentId() + 1, 0, tree.at("b/" + name)}});
            ++pushed;
        }
    });
    while (pushed.load() < 50) volume->watcher->flush();
    model->goOffline(volume);
    stop = true;
    pusher.join();
    ASSERT_TRUE(volume->offline.get());

    const auto loaded = core::VolumeIndex::load(volume->snapshotPath(), {});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(core::test::dump(*loaded->index), core::test::dump(*volume->index()))
        << "the snapshot misses changes applied before the save";
}

}  // namespace
}  // namespace quorvanta::app::test
