// The lifecycle's edge cases: catalogs at start, a model that does not persist, cancelled and
// failed scans, network volumes (scan times, reachability, no watcher), rescans that keep their
// place, and the calls that must do nothing.
#include "tests/QuorvantaApp/model/lifecycle/LifecycleTestSupport.h"

#include "QuorvantaApp/model/lifecycle/Lifecycle.h"
#include "QuorvantaCore/index/ScanTimes.h"

namespace quorvanta::app::test {
namespace {

// Runs the main queue until the search that follows the sort orders of a finished scan.
void waitOrders(LifeWorld& world, AppModel& model, const VolumeState& volume) {
    world.waitScanned(volume);
    const auto generation = model.generation();
    world.main.waitUntil([&] { return model.generation() > generation; });
}

TEST(VolumeLifecycle, StartScansStartsOnlyOnlineVolumesAndSearchesOnce) {
    LifeWorld world;
    const std::string media = (world.dir.path() / "media").string();
    fs::create_directories(media);
    const FixtureTree usb((fs::path(media) / "usb").string());
    core::test::buildFixture(usb);
    auto deps = [&] {
        auto d = world.lifeDeps();
        d.driveFolders = {media};
        return d;
    };
    {
        auto first = AppModel::create({usb.root()}, true, deps());
        const auto volume = first->volumes->at(0);
        first->startScans();
        world.waitWatcher(*volume);
        world.waitSaves(*first, 1);
    }
    const FixtureTree disk = world.tree("disk");
    world.drives->list = {Candidate{disk.root(), "Disk", disk.root(), "", true, false}};
    SourceConfig whole;
    whole.enabled = whole.whole = true;
    world.prefs.setSources({{disk.root(), whole}});
    world.prefs.setConfigured(true);

    auto model = AppModel::create({}, true, deps());
    ASSERT_EQ(model->volumes->size(), 2u);
    const auto online = model->volumes->at(0);
    const auto catalog = model->volumes->at(1);
    ASSERT_TRUE(catalog->offline.get());
    const auto generation = model->generation();
    Gate scan;  // the online volume's scan waits, so its end publishes nothing meanwhile
    holdNextScan(world, scan);
    model->startScans();
    EXPECT_EQ(model->generation(), generation + 1);
    EXPECT_TRUE(online->scanning.get());
    EXPECT_FALSE(catalog->scanning.get());
    EXPECT_FALSE(catalog->index()->isScanning());
    EXPECT_EQ(catalog->watcher, nullptr);
    world.settle(*model);
    EXPECT_TRUE(model->results.get()->resetScroll());
    scan.release();
    world.waitWatcher(*online);
    EXPECT_EQ(catalog->watcher, nullptr);
}

TEST(VolumeLifecycle, WithoutPersistingAScanWatchesAndWritesNothing) {
    LifeWorld world;
    const FixtureTree tree = world.tree("vol");
    auto model = world.model({tree.root()}, false);
    const auto volume = model->volumes->at(0);
    model->startScans();
    waitOrders(world, *model, *volume);
    world.main.drain();
    EXPECT_EQ(volume->watcher, nullptr);
    EXPECT_FALSE(volume->updating.get());
    EXPECT_EQ(volume->count.get(), volume->index()->liveCount());
    model.reset();
    EXPECT_TRUE(fs::is_empty(world.data())) << "a model that does not persist wrote to the data folder";
}

TEST(VolumeLifecycle, AFirstScanCancelledByTheUserDisablesTheSource) {
    LifeWorld world;
    const FixtureTree tree = world.tree("drive");
    auto model = world.driveModel(tree.root(), false, {"a", "b"});
    const auto volume = model->volumes->at(0);
    Gate scan;
    holdNextScan(world, scan);
    model->startScans();
    scan.waitUntilHeld();
    volume->index()->cancelScan();
    scan.release();
    world.main.waitUntil([&] { return model->volumes->empty(); });
    const SourceConfig stored = Prefs(world.settings).sources().at(tree.root());
    EXPECT_FALSE(stored.enabled);
    EXPECT_FALSE(stored.whole);
    EXPECT_EQ(stored.folders, (std::vector<std::string>{"a", "b"}));
}

TEST(VolumeLifecycle, ACancelledRescanKeepsTheOldVolumeAndHoldsOffRetries) {
    LifeWorld world;
    const FixtureTree tree = world.tree("vol");
    auto model = world.model({tree.root()});
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitWatcher(*volume);
    world.catchUp(*volume);

    Gate scan;
    holdNextScan(world, scan);
    model->rescan(volume);
    const auto replacement = volume->pendingScan;
    ASSERT_TRUE(replacement);
    EXPECT_TRUE(volume->updating.get());
    scan.waitUntilHeld();
    replacement->index()->cancelScan();
    scan.release();
    world.main.waitUntil([&] { return !volume->pendingScan; });
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{volume});
    EXPECT_FALSE(volume->updating.get());
    EXPECT_EQ(volume->retryAfter, lifecycle::dateNow(world.clock) + lifecycle::kRetryDelay);
}

TEST(VolumeLifecycle, ARootGoneBeforeTheFirstScanIsAFailureOfTheVolume) {
    LifeWorld world;
    const std::string root = (world.dir.path() / "gone").string();
    auto model = world.model({root});
    const auto volume = model->volumes->at(0);
    model->startScans();
    world.waitScanned(*volume);
    EXPECT_EQ(volume->failure.get(), "cannotOpen(\"" + root + "\")");
    EXPECT_EQ(model->volumes.get(), AppModel::Volumes{volume});
    EXPECT_EQ(volume->watcher, nullptr);
}

TEST(VolumeLifecycle, ANetworkScanGetsScanTimesAndNoWatcher) {
    LifeWorld world;
    const FixtureTree share = world.tree("net/share");
    auto model = world.model({share.root()});
    const auto volume = model->volumes->at(0);
    ASSERT_TRUE(volume->isNetwork());
    model->startScans();
    waitOrders(world, *model, *volume);
    world.main.drain();
    const auto now = lifecycle::dateNow(world.clock);
    EXPECT_EQ(volume->lastScanned.get(), now);
    const auto times = core::ScanTimes::load(world.data() / core::ScanTimes::fileName);
    ASSERT_TRUE(times.times.contains(volume->uuid()));
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(times.times.at(volume->uuid()) - now).count(), 0);
    EXPECT_EQ(volume->watcher, nullptr);
    EXPECT_FALSE(volume->updating.get());
    EXPECT_EQ(world.events->openStreams(), 0);
}

TEST(VolumeLifecycle, AnUnreachableNetworkVolumeIsRemoved) {
    struct Case {
        const char* name;
        bool rootExists;
        bool reachableAtScan;  // false: unreachable after the scan; true: before a later rescan
        std::optional<bool> keepOffline;
        bool catalog;
    };
    const Case cases[] = {
        {"unreachable after its scan", true, false, std::nullopt, false},
        {"failed scan of a gone root", false, false, std::nullopt, false},
        {"unreachable before a rescan, kept offline", true, true, std::nullopt, true},
        {"unreachable before a rescan, not kept", true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LifeWorld world;
        const std::string root = c.rootExists ? world.tree("net/share").root() : world.net() + "/gone";
        if (c.keepOffline) world.settings.setBoolean(AppModel::kKeepOfflineKey, *c.keepOffline);
        world.reachable = c.reachableAtScan;
        auto model = world.model({root});
        const auto volume = model->volumes->at(0);
        model->startScans();
        if (c.reachableAtScan) {
            waitOrders(world, *model, *volume);
            world.reachable = false;
            model->rescanNetwork(volume);
            EXPECT_TRUE(volume->updating.get());
            world.main.waitUntil([&] { return !volume->updating.get(); });
        } else {
            world.main.waitUntil([&] { return model->volumes->empty(); });
        }
        EXPECT_EQ(volume->pendingScan, nullptr);
        EXPECT_EQ(model->volumes->size(), c.catalog ? 1u : 0u);
        EXPECT_EQ(volume->offline.get(), c.catalog);
    }
}

TEST(VolumeLifecycle, RescanNetworkOnlyForAnIdleListedNetworkVolume) {
    LifeWorld world;
    const FixtureTree share = world.tree("net/share");
    const FixtureTree local = world.tree("local");
    auto model = world.model({share.root()});
    auto localModel = world.model({local.root()});
    const auto network = model->volumes->at(0);
    const auto other = localModel->volumes->at(0);
    model->rescanNetwork(network);  // scanning
    EXPECT_FALSE(network->updating.get());
    model->startScans();
    localModel->startScans();
    waitOrders(world, *model, *network);
    world.waitSaves(*model, 1);
    world.waitWatcher(*other);
    world.waitSaves(*localModel, 1);
    world.catchUp(*other);
    world.waitMaintenance(*model);
    world.waitMaintenance(*localModel);
    world.settle(*model);
    world.settle(*localModel);
    world.settle(*model);  // what the other model's tasks started here

    localModel->rescanNetwork(other);  // a local volume
    EXPECT_FALSE(other->updating.get());
    EXPECT_EQ(other->pendingScan, nullptr);
    localModel->rescanNetwork(network);  // not in that model's list
    network->updating.set(true);
    model->rescanNetwork(network);  // updating
    network->updating.set(false);
    model->netQueue().sync([] {});
    EXPECT_EQ(world.main.drain(), 0u) << "a check was queued";
    EXPECT_EQ(network->pendingScan, nullptr);

    model->rescanNetwork(network);  // the one case that rescans
    EXPECT_TRUE(network->updating.get());
    model->netQueue().sync([] {});
    world.main.drain();
    ASSERT_NE(network->pendingScan, nullptr);
    const auto replacement = network->pendingScan;
    world.main.waitUntil([&] { return model->volumes->at(0) == replacement; });
    EXPECT_EQ(replacement->lastScanned.get(), lifecycle::dateNow(world.clock));
}

TEST(VolumeLifecycle, ASuccessfulRescanKeepsItsPlaceAndClearsTheGlobalOrder) {
    LifeWorld world;
    const FixtureTree one = world.tree("one");
    const FixtureTree two = world.tree("two");
    auto model = world.model({one.root(), two.root()});
    const auto first = model->volumes->at(0);
    const auto second = model->volumes->at(1);
    model->startScans();
    world.waitWatcher(*first);
    world.waitWatcher(*second);
    world.main.waitUntil([&] { return model->global() != nullptr; });

    model->rescan(first);
    const auto replacement = first->pendingScan;
    ASSERT_TRUE(replacement);
    EXPECT_EQ(first->watcher, nullptr);
    world.main.waitUntil([&] { return model->volumes->at(0) != first; });
    EXPECT_EQ(model->volumes.get(), (AppModel::Volumes{replacement, second}));
    EXPECT_EQ(model->global(), nullptr);
    EXPECT_EQ(first->pendingScan, nullptr);
    EXPECT_EQ(replacement->replacing, nullptr);
    world.waitWatcher(*replacement);
}

}  // namespace
}  // namespace quorvanta::app::test
